% CHECK_SIZES_MATCH_HOST  The sizes column that Octave gets from each
% deliverable's Octave MEX file must equal, entry for entry, the column that
% our own host gets from the same deliverable built for it: ORVANE is the
% `orvane` tool, HOST_DIR the directory of the .mexa64 files.
function check_sizes_match_host (orvane, host_dir)
  param_sets = {[], [1], [1, 2]};
  failures = {};
  names = deliverable_names ();
  for n = 1:numel (names)
    name = names{n};
    for p = 1:numel (param_sets)
      params = param_sets{p};
      label = sprintf ("%s with %d block parameter(s)", name, numel (params));
      args = num2cell (params);
      from_octave = feval (name, [], [], [], 0, args{:});
      [from_host, problem] = host_sizes (orvane, fullfile (host_dir, [name ".mexa64"]), params);
      if (! isempty (problem))
        failures{end+1} = sprintf ("%s: %s", label, problem);
      elseif (! isequal (from_octave, from_host))
        wrong = find (from_octave != from_host)' - 1;
        failures{end+1} = sprintf ("%s: entries %s differ: Octave %s, our host %s", label,
                                   mat2str (wrong), mat2str (from_octave(wrong + 1)'),
                                   mat2str (from_host(wrong + 1)'));
      else
        printf ("ok   %s\n", label);
      endif
    endfor
  endfor
  report_failures (failures);
endfunction

% The column that `orvane sizes PATH PARAMS...` prints as "INDEX VALUE"
% lines, or a description of what went wrong.
function [s, problem] = host_sizes (orvane, path, params)
  s = [];
  problem = "";
  command = sprintf ("timeout 60 '%s' sizes '%s'%s", orvane, path, sprintf (" %.17g", params));
  [status, text] = system (command);
  if (status != 0)
    problem = sprintf ("'%s' exited with %d: %s", command, status, strtrim (text));
    return;
  endif
  pairs = sscanf (text, "%d %f", [2, Inf]);
  if (! isequal (pairs(1, :), 0:39))
    problem = sprintf ("'%s' printed no 40 numbered entries: %s", command, strtrim (text));
    return;
  endif
  s = pairs(2, :)';
endfunction
