#pragma once

#include "BatchInput.h"

#include <string>
#include <vector>

namespace elmbatch {

/// What the coexistence administration batch did to one object.
struct ObjectOutcome {
  enum class Result { Changed, WouldChange, Unchanged, Skipped, Failed };
  std::string id;
  std::string type;
  std::string externalId;  ///< PLM_ExternalID
  std::string name;        ///< V_Name
  std::string why;         ///< why the batch worked on it: selected, below a selected object, in the context
  std::string before;      ///< its coexistence state before the batch
  Result result = Result::Skipped;
  std::string text;        ///< what was done, or why not
};

/// A run of the coexistence administration batch on the session its input names.
struct CoexistenceRun {
  std::string context;
  std::vector<std::string> mapping;  ///< "Delete", or "Ownership", direction, "AllowRep"
  std::string propagate;
  std::string applyTo;
  std::string mode;
  std::vector<ObjectOutcome> objects;
  std::string problem;    ///< why nothing could be done (input or session unusable); empty otherwise
  std::string saveError;  ///< why the changes were not saved; empty when saved or nothing to save
  bool saved = false;
  /// 0: done; 1: some objects could not be handled; 2: the changes could not
  /// be saved; 3: the input or the session is not usable.
  int returnCode = 0;
};

/// Reads the options from input, works on the session it names (Preview
/// changes nothing; Run saves the objects it changed) and tells what it did.
CoexistenceRun RunCoexistenceAdministration(const BatchInput& input);

}  // namespace elmbatch
