#pragma once

#include "ELMHostExport.h"
#include "CATString.h"

class CATDialog;

/// The application frame: the running workbench and workshop, and the
/// windows that the plug-in's dialogs take as parents. There is a frame while
/// the host shows a PLM session.
class ExportedByELMHost CATApplicationFrame {
public:
  CATApplicationFrame() = default;
  CATApplicationFrame(const CATApplicationFrame&) = delete;
  CATApplicationFrame& operator=(const CATApplicationFrame&) = delete;

  /// The frame of the running application, or null.
  static CATApplicationFrame* GetFrame();

  /// The main window; null in a host that shows none.
  CATDialog* GetMainWindow() const { return m_mainWindow; }
  /// The window of the application document; null in a host that shows none.
  CATDialog* GetApplicationDocument() const { return m_documentWindow; }
  /// Identifier of the current workbench, such as "CATImmNav"; empty when none.
  CATString GetCurrentWorkbench() const { return m_workbench; }
  /// Identifier of the current workshop, such as "ImmNavWorkshop"; empty when none.
  CATString GetCurrentWorkshop() const { return m_workshop; }

  // The host sets these up; the plug-in only reads them.
  void SetMainWindow(CATDialog* window) { m_mainWindow = window; }
  void SetApplicationDocument(CATDialog* window) { m_documentWindow = window; }
  void SetCurrentWorkbench(const CATString& id) { m_workbench = id; }
  void SetCurrentWorkshop(const CATString& id) { m_workshop = id; }

private:
  CATDialog* m_mainWindow = nullptr;
  CATDialog* m_documentWindow = nullptr;
  CATString m_workbench;
  CATString m_workshop;
};
