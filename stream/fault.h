// What ended a run, a serving loop, a publisher or a PDC early, by kind.
// The tool (cli/) chooses its exit status from the kind; no room below it
// does, so that one table there says what each status means.
#ifndef ORVANE_STREAM_FAULT_H
#define ORVANE_STREAM_FAULT_H

// In rising order of gravity: a batch of files reports its worst.
enum class FaultKind {
    None,      // nothing went wrong
    Failed,    // the block, an output, a socket or the machine failed
    BadInput,  // the input, its options or a named output cannot be used
};

#endif  // ORVANE_STREAM_FAULT_H
