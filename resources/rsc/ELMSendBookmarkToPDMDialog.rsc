// Captions and help texts of the widgets of the dialog that sends a
// bookmark to Teamcenter. The module files (OAKSendBookmarkToPDMDialog.rsc, ...)
// override single keys of this one.

SelectedComponentFrame.Title = "Selected Bookmark";
SelectedComponentEditor.Help = "The bookmark that will be sent.";

Frame2.Title = "Export Options";

CheckButtonForce.Title = "Force";
CheckButtonForce.Help = "Force";
CheckButtonForce.ShortHelp = "Force the transfer";
CheckButtonForce.LongHelp = "Sends the bookmark and its content even where Teamcenter already holds the same state.";

CheckButtonRemoveExisting.Title = "Remove non-existing children in PDM";
CheckButtonRemoveExisting.Help = "Remove non-existing children in PDM";
CheckButtonRemoveExisting.ShortHelp = "Remove non-existing children in PDM";
CheckButtonRemoveExisting.LongHelp = "Removes from Teamcenter the objects that the bookmark no longer holds.";

IncludeEffectivity.Title = "Include Effectivity";
IncludeEffectivity.Help = "Include effectivity information";
IncludeEffectivity.ShortHelp = "Include effectivity information";
IncludeEffectivity.LongHelp = "Include effectivity information";

BookmarkOnlyCheckButton.Title = "Send the bookmark only";
BookmarkOnlyCheckButton.Help = "Send the bookmark without its content";
BookmarkOnlyCheckButton.ShortHelp = "Send the bookmark only";
BookmarkOnlyCheckButton.LongHelp = "Sends the bookmark itself, without the objects it holds.";
