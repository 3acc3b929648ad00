// Captions and help texts of the widgets of the dialog that sends a
// folder to Teamcenter. The module files (OAKSendFolderToPDMDialog.rsc, ...)
// override single keys of this one.

SelectedComponentFrame.Title = "Selected Folder";
SelectedComponentEditor.Help = "The folder that will be sent.";

Frame2.Title = "Export Options";

CheckButtonForce.Title = "Force";
CheckButtonForce.Help = "Force";
CheckButtonForce.ShortHelp = "Force the transfer";
CheckButtonForce.LongHelp = "Sends the folder and its content even where Teamcenter already holds the same state.";

CheckButtonRemoveExisting.Title = "Remove non-existing children in PDM";
CheckButtonRemoveExisting.Help = "Remove non-existing children in PDM";
CheckButtonRemoveExisting.ShortHelp = "Remove non-existing children in PDM";
CheckButtonRemoveExisting.LongHelp = "Removes from Teamcenter the objects that the folder no longer holds.";

IncludeEffectivity.Title = "Include Effectivity";
IncludeEffectivity.Help = "Include effectivity information";
IncludeEffectivity.ShortHelp = "Include effectivity information";
IncludeEffectivity.LongHelp = "Include effectivity information";

FolderOnlyCheckButton.Title = "Send the folder only";
FolderOnlyCheckButton.Help = "Send the folder without its content";
FolderOnlyCheckButton.ShortHelp = "Send the folder only";
FolderOnlyCheckButton.LongHelp = "Sends the folder itself, without the objects it holds.";
