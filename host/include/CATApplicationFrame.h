#pragma once

#include "CATBaseUnknown.h"
#include "CATString.h"
#include "ELMHostExport.h"

class CATDlgWindow;

/// The application frame: the running workbench and workshop, and the
/// windows that the plug-in's dialogs take as parents. There is a frame while
/// the host shows a PLM session.
class ExportedByELMHost CATApplicationFrame {
public:
  /// Makes the frame's main window and, inside it, the application document window.
  CATApplicationFrame();
  ~CATApplicationFrame();
  CATApplicationFrame(const CATApplicationFrame&) = delete;
  CATApplicationFrame& operator=(const CATApplicationFrame&) = delete;

  /// The frame of the running application, or null.
  static CATApplicationFrame* GetFrame();

  /// The main window; null in a host that shows none.
  CATDlgWindow* GetMainWindow() const { return m_mainWindow.get(); }
  /// The window of the application document; null in a host that shows none.
  CATDlgWindow* GetApplicationDocument() const { return m_documentWindow.get(); }
  /// Identifier of the current workbench, such as "CATImmNav"; empty when none.
  CATString GetCurrentWorkbench() const { return m_workbench; }
  /// Identifier of the current workshop, such as "ImmNavWorkshop"; empty when none.
  CATString GetCurrentWorkshop() const { return m_workshop; }

  // The host sets these up; the plug-in only reads them.
  void SetCurrentWorkbench(const CATString& id) { m_workbench = id; }
  void SetCurrentWorkshop(const CATString& id) { m_workshop = id; }
  /// Closes the application document window (a frame that shows no document).
  void CloseApplicationDocument();

private:
  CATVar<CATDlgWindow> m_mainWindow;
  CATVar<CATDlgWindow> m_documentWindow;
  CATString m_workbench;
  CATString m_workshop;
};
