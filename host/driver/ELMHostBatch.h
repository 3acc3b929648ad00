#pragma once

#include "ELMHostExport.h"

#include <functional>
#include <string>

namespace elmhost {

/// What the client batch monitor did with a batch.
struct BatchEvent {
  /// Stopped: the monitor stopped it (StopBatch, or the wait's limit passed).
  enum class Kind { Submitted, Ended, Stopped };
  Kind kind = Kind::Submitted;
  std::string id;
  std::string name;       ///< the batch's name from its input file
  std::string inputFile;
  std::string logFile;    ///< the batch program's standard output and error
  int pid = 0;
  int returnCode = 0;     ///< Ended, Stopped: the batch's return code
  int signal = 0;         ///< the signal that ended it, 0 when it exited
  double timeLimit = 0;   ///< Stopped by the wait: the limit in seconds that passed; 0 otherwise
};
using BatchObserver = std::function<void(const BatchEvent&)>;

/// Installs an observer told of every batch the monitor submits, sees end or
/// stops; returns the previous one. Called on the user-interface thread.
ExportedByELMHost BatchObserver SetBatchObserver(BatchObserver observer);

/// The batch program the monitor runs: ELMHOST_BATCH_PROGRAM when set (and
/// only there), else elm-batch beside the running program, in the installed
/// programs, then in the build tree. Empty when none is there; tried then
/// lists the places looked at.
ExportedByELMHost std::string FindBatchProgram(std::string* tried = nullptr);

/// The longest a wait for a batch lasts, in seconds: ELMHOST_BATCH_TIMEOUT
/// when it holds a positive number, else 300.
ExportedByELMHost double BatchTimeLimit();

}  // namespace elmhost
