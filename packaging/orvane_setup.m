function orvane_setup ()
  % ORVANE_SETUP  Put the Orvane deliverables on the path of this session.
  %   Run it from its folder, or as run('/usr/lib/orvane/orvane_setup.m').
  %   MATLAB loads the .mexa64 files of this folder; GNU Octave loads the
  %   Octave builds of its octave/ subfolder (package orvane-octave), which
  %   carry the same names: the folder holding the other kind stays off the
  %   path, so that each host finds only the files built for it.
  here = fileparts (mfilename ('fullpath'));
  if exist ('OCTAVE_VERSION', 'builtin')
    folder = fullfile (here, 'octave');
    if ~exist (folder, 'dir')
      error ('orvane_setup: %s is missing; install the orvane-octave package', folder);
    end
  else
    folder = here;
  end
  addpath (folder);
end
