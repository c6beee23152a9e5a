% CHECK_COMMAND_LINE_ERRORS  Every error of the deliverables' command-line
% road, by its exact text as Octave reports it: Octave prefixes the text
% that the deliverable raises with the MEX function's name and a colon.
function check_command_line_errors ()
  RHS = "MEX level2 S-function \"%s\" must be called with at least 4 right hand arguments";
  LHS = "MEX level2 S-function \"%s\" called with too many left hand arguments";
  FLAG = "The 4th right hand argument, FLAG, passed to MEX level2 S-function \"%s\" must be an integer";
  INVALID = "Invalid flag passed to MEX level2 S-function \"%s\"";

  % {description, outputs requested, arguments, message template}
  cases = {
    "no arguments",                            0, {},                  RHS
    "three right-hand arguments",              1, {[], [], []},        RHS
    "three right-hand and two left-hand",      2, {[], [], []},        RHS
    "two left-hand arguments, valid flag",     2, {[], [], [], 0},     LHS
    "fractional flag 0.5",                     1, {[], [], [], 0.5},   FLAG
    "two-element flag",                        1, {[], [], [], [0 0]}, FLAG
    "empty flag",                              1, {[], [], [], []},    FLAG
    "complex flag",                            1, {[], [], [], 1i},    FLAG
    "character flag",                          1, {[], [], [], "0"},   FLAG
    "NaN flag",                                1, {[], [], [], NaN},   FLAG
    "flag beyond the int32 range",             1, {[], [], [], 2^31},  FLAG
    "flag 1",                                  1, {[], [], [], 1},     INVALID
    "flag 3",                                  1, {[], [], [], 3},     INVALID
    "flag -1",                                 1, {[], [], [], -1},    INVALID
    "flag 3 with a block parameter",           0, {[], [], [], 3, 7},  INVALID
    "int8 flag 3",                             1, {[], [], [], int8(3)}, INVALID
    "single flag 0.5",                         1, {[], [], [], single(0.5)}, FLAG
  };

  failures = {};
  names = deliverable_names ();
  for n = 1:numel (names)
    name = names{n};
    for c = 1:rows (cases)
      [what, nout, args, template] = cases{c, :};
      label = sprintf ("%s, %s", name, what);
      expected = sprintf ("%s: %s", name, sprintf (template, name));
      message = raised_message (name, nout, args);
      if (isempty (message))
        failures{end+1} = sprintf ("%s: raised nothing, expected '%s'", label, expected);
      elseif (! strcmp (message, expected))
        failures{end+1} = sprintf ("%s: raised '%s', expected '%s'", label, message, expected);
      else
        printf ("ok   %s\n", label);
      endif
    endfor
  endfor
  report_failures (failures);
endfunction

% The message that NAME(ARGS{:}) raises when called for NOUT outputs, or
% "" when it returns.
function message = raised_message (name, nout, args)
  message = "";
  out = cell (1, nout);
  try
    if (nout == 0)
      feval (name, args{:});
    else
      [out{:}] = feval (name, args{:});
    endif
  catch err
    message = err.message;
  end_try_catch
endfunction
