% EXPECTED_SIZES  The 40-entry column that the command-line sizes query of
% deliverable NAME returns when it is called with NPARAMS block parameters
% after the flag.
%
% The measurement blocks stop registering when the throw-away SimStruct
% cannot count work vectors, before the parameter check, so their column
% does not depend on NPARAMS: 7 output and 7 input ports, one sample time,
% the SimStruct version, the "sizes answered" option bit 0x2000 alone, the
% generated-code mark and the "port counts registered" flag.
% The cast block checks its parameter count first: with none it registers
% one input and one output port and its option word 0x20080002 (plus
% 0x2000); with any, it registers nothing.
function s = expected_sizes (name, nparams)
  % Entries by 0-based index, as the SimStruct's sizes record numbers them.
  OUTPUT_PORTS = 2; INPUT_PORTS = 3; SAMPLE_TIMES = 6; VERSION = 19;
  OPTIONS = 23; GENERATED_SFCN = 30; FLAGS = 31;
  SIMSTRUCT_VERSION = 8480229;
  OPTION_SIZES_ANSWERED = 8192;          % 0x2000
  FLAG_PORT_COUNTS_REGISTERED = 2;

  entries = [];
  if (strcmp (name, "Narrow32_sf"))
    if (nparams == 0)
      entries = [OUTPUT_PORTS, 1; INPUT_PORTS, 1; SAMPLE_TIMES, 1;
                 OPTIONS, 537403394;     % 0x20080002 + 0x2000
                 FLAGS, FLAG_PORT_COUNTS_REGISTERED];
    else
      entries = [OPTIONS, OPTION_SIZES_ANSWERED];
    endif
  else
    entries = [OUTPUT_PORTS, 7; INPUT_PORTS, 7; SAMPLE_TIMES, 1;
               OPTIONS, OPTION_SIZES_ANSWERED; GENERATED_SFCN, 1;
               FLAGS, FLAG_PORT_COUNTS_REGISTERED];
  endif
  entries = [entries; VERSION, SIMSTRUCT_VERSION];

  s = zeros (40, 1);
  s(entries(:, 1) + 1) = entries(:, 2);
endfunction
