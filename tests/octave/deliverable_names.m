% DELIVERABLE_NAMES  The four deliverables, by the names a MATLAB or Octave
% session calls them.
function names = deliverable_names ()
  names = {"Orvane_10kHz_sf", "Orvane_14p4kHz_sf", "Orvane_4kHz_sf", "Narrow32_sf"};
endfunction
