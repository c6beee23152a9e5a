% CHECK_SIZES_QUERY  The command-line sizes query of every deliverable, as a
% user types it: NAME([], [], [], 0), optionally followed by block
% parameters. Errors out naming every case whose column is wrong.
function check_sizes_query ()
  % {description, x argument, block parameters after the flag}
  cases = {
    "no block parameters",                      [],               {}
    "one block parameter",                      [],               {1}
    "two block parameters of other classes",    [],               {"text", int32(5)}
    "x of three rows without the version mark", [0; 0; 8480228],  {}
    "int32 x carrying the version mark",        int32([0; 0; 8480229]), {}
  };

  failures = {};
  names = deliverable_names ();
  for n = 1:numel (names)
    name = names{n};
    for c = 1:rows (cases)
      [what, x, params] = cases{c, :};
      label = sprintf ("%s, %s", name, what);
      try
        s = feval (name, [], x, [], 0, params{:});
      catch err
        failures{end+1} = sprintf ("%s: raised '%s'", label, err.message);
        continue;
      end_try_catch
      expected = expected_sizes (name, numel (params));
      if (! (isa (s, "double") && isreal (s) && isequal (size (s), [40, 1])))
        failures{end+1} = sprintf ("%s: expected a real 40-by-1 double column, got a %s of size %s",
                                   label, class (s), mat2str (size (s)));
      elseif (! isequal (s, expected))
        wrong = find (s != expected)' - 1;
        failures{end+1} = sprintf ("%s: entries %s are %s, expected %s", label, mat2str (wrong),
                                   mat2str (s(wrong + 1)'), mat2str (expected(wrong + 1)'));
      else
        printf ("ok   %s\n", label);
      endif
    endfor
  endfor
  report_failures (failures);
endfunction
