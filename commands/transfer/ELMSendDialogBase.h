#pragma once

#include "ELMCommandKit.h"

#include "CATDlgDialog.h"
#include "CATIPLMComponent.h"
#include "CATListValCATUnicodeString.h"
#include "CATString.h"
#include "CATUnicodeString.h"

class CATDlgCheckButton;
class CATDlgEditor;

/// What sets one send dialog apart from the others beyond its widgets: its
/// message catalog, its resource file, the kind of object it sends, and the
/// trace scopes of its operations, which carry the dialog's own class name.
struct ELMSendDialogKind {
  ELMCatalog catalog;        ///< the dialog's messages ("SendToPDMDialog", "ELMSendToPDMDialog")
  const char* resourceName;  ///< the resource file, after the module code ("SendToPDMDialog")
  const char* transferType;  ///< "VPMReference", "Folder" or "Bookmark"
  const char* scopeConstructor;
  const char* scopeDestructor;
  const char* scopeGetResourceFilename;
  const char* scopeSetIdentToTransfer;
  const char* scopeBuild;
  const char* scopeOKBtnPushed;
  const char* scopeCancelBtnPushed;
};

/// The trace scope names of ELMSendDialogKind for the dialog class Class.
#define ELM_SEND_DIALOG_SCOPES(Class)                                                                    \
  #Class "::" #Class, #Class "::~" #Class, #Class "::GetResourceFilename", #Class "::SetIdentToTransfer", \
      #Class "::Build", #Class "::" #Class "_OKBtnPushed", #Class "::" #Class "_CancelBtnPushed"

/// What the three send dialogs share: the object handed over by the transfer
/// command, the resource file named after the module, the selection shown on
/// top, the OK and Cancel buttons as the only ones, the transfer with its
/// outcome box, and the end of the dialog. Each dialog builds its own widgets.
class ELMSendDialogBase : public CATDlgDialog {
public:
  ~ELMSendDialogBase() override;

  /// The module's resource file of the dialog at level 0, the platform's
  /// chain above.
  const char* GetResourceFilename(int level = 0) override;

  /// Offers the effectivity option; set before Build.
  void SetShowSendConfiguration(bool show) { m_bShowSendConfiguration = show; }
  /// The object to send as the dialog will name it to the server, and the
  /// texts that show the user which object it is; set before Build.
  void SetIdentToTransfer(const CATUnicodeString& name, const CATUnicodeString& revision,
                          const CATUnicodeString& type, const CATIPLMComponent_var& component,
                          const CATListValCATUnicodeString& selectionTexts);

  /// CANCEL and window close: the dialog hides and ends itself; nothing is sent.
  void CancelBtnPushed(CATCommand* publisher, CATNotification* notification, CATCommandClientData data);

protected:
  ELMSendDialogBase(CATDialog* parent, const CATString& name, const ELMSendDialogKind& kind);

  /// Routes CANCEL to CancelBtnPushed and OK to ok, and leaves OK and Cancel
  /// as the only buttons a person can press.
  void ConnectStandardButtons(CATCommandMethod ok);
  /// Ends the dialog when its window is closed, as Cancel does.
  void ConnectWindowClose();
  /// Places the selection frame on top and its read-only display in it,
  /// showing the selection texts joined by blanks.
  void PlaceSelection(CATDialog* frame, CATDlgEditor* display, CATDlgJustification justification);
  /// Without the effectivity option its check button is hidden, and so
  /// stays unchecked.
  void HideEffectivityUnlessShown(CATDlgCheckButton* effectivity);
  /// Sends the object with the options, shows the outcome in a box and ends
  /// the dialog.
  void SendAndReport(int expandLevel, bool parallel, bool force, bool removeExisting, bool sendConfiguration,
                     bool folderOnly);

  static bool IsChecked(const CATDlgCheckButton* button);

  const ELMSendDialogKind& m_kind;
  CATUnicodeString m_name;
  CATUnicodeString m_revision;
  CATUnicodeString m_type;
  CATIPLMComponent_var m_spComponent;
  CATListValCATUnicodeString m_lSelectionTexts;
  bool m_bShowSendConfiguration = false;
  CATString m_resourceFile;
};
