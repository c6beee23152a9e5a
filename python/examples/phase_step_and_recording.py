"""Measure a built-in phase step and a COMTRADE recording, and plot magnitude,
frequency and ROCOF of both (reports only) beside the step's exact values.

    python3 phase_step_and_recording.py [RECORDING.cfg] [--output study.png]

Copy it and change the signal, the recording or the build.
"""

import argparse
from pathlib import Path

import matplotlib

matplotlib.use("Agg")  # files only, no display needed
import matplotlib.pyplot as plt  # noqa: E402

import orvane  # noqa: E402

HERE = Path(__file__).resolve().parent
DEFAULT_RECORDING = HERE.parent.parent / "tests" / "data" / "comtrade" / "north4800.cfg"
SETTLING = 0.1  # s of start-up transient left out of the plots


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("recording", nargs="?", default=str(DEFAULT_RECORDING))
    parser.add_argument("--output", default="study.png")
    args = parser.parse_args()

    # A +10 degree phase step one second into two seconds at 10 kHz.
    step = orvane.signal("phase-step", build="10k", duration=2.0, event_time=1.0, report_rate=50)
    step_out = orvane.run(step.phases, step.time, build="10k", **step.ports, reports_only=True)
    step_out = step_out.select(step_out.timestamp >= step.time[0] + SETTLING)
    truth = step.reference(step_out.timestamp)

    # The recording at the build nearest its own rate, reported 50 times a second.
    recording = orvane.read_comtrade(args.recording, build="auto")
    rec_out = orvane.run(recording.model_phases, recording.model_time, build=recording.build,
                         nominal_frequency=recording.nominal_frequency, reports_only=True)
    rec_out = rec_out.select(rec_out.timestamp >= recording.time[0] + SETTLING)
    rec_time = rec_out.timestamp - recording.time[0]

    fig, axes = plt.subplots(3, 2, figsize=(11, 8), sharex="col")
    rows = (("magnitude", "magnitude (peak)"), ("frequency", "frequency (Hz)"), ("rocof", "ROCOF (Hz/s)"))
    for row, (name, label) in enumerate(rows):
        ax = axes[row, 0]
        ax.plot(step_out.timestamp, getattr(step_out, name), ".-", label="measured")
        ax.plot(step_out.timestamp, truth[name], "--", label="exact")
        ax.set_ylabel(label)
        ax = axes[row, 1]
        ax.plot(rec_time, getattr(rec_out, name), ".-")
    axes[0, 0].set_title("phase step +10° at 1 s (10 kHz build)")
    axes[0, 0].legend()
    axes[0, 1].set_title(f"{Path(args.recording).name}: {', '.join(recording.phase_channels)} "
                         f"({recording.build} build)")
    axes[2, 0].set_xlabel("time (s)")
    axes[2, 1].set_xlabel(f"time (s after {recording.start:%Y-%m-%d %H:%M:%S} UTC)")
    fig.tight_layout()
    fig.savefig(args.output, dpi=100)
    print(f"wrote {args.output}")


if __name__ == "__main__":
    main()
