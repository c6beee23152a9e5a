% REPORT_FAILURES  Ends the test: prints every failure and errors out when
% there is any, so that octave-cli exits non-zero.
function report_failures (failures)
  for k = 1:numel (failures)
    printf ("FAIL %s\n", failures{k});
  endfor
  if (! isempty (failures))
    error ("%d case(s) failed", numel (failures));
  endif
endfunction
