#include "CATAfrStartCommand.h"

#include "CATCommand.h"
#include "ELMHostClassDictionary.h"
#include "ELMHostDispatch.h"
#include "HostCommands.h"

CATCommand* CATAfrStartCommand(const CATString& name) {
  CATCommand* command = elmhost::CreateHostCommand(name.Str());
  if (!command) {
    auto* object = static_cast<CATBaseUnknown*>(elmhost::ClassDictionary::Create(name.Str()));
    if (!object) return nullptr;
    if (FAILED(object->QueryInterface(CATCommand::ClassId(), reinterpret_cast<void**>(&command))) || !command) {
      object->Release();
      return nullptr;
    }
    // The query's reference goes; the factory's stays with the host until
    // the command asks for its destruction.
    command->Release();
  }
  if (auto* dispatch = elmhost::Dispatch::Current()) {
    dispatch->StartCommand(command);
  } else {
    command->Activate(nullptr, nullptr);
  }
  return command;
}
