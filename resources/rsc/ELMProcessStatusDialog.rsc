// Captions of the process status dialog's widgets. Module files
// (OAKProcessStatusDialog.rsc, ...) may override single keys.

RefreshButton.Title = "Refresh";
RefreshButton.Help = "Asks the integration server again for your processes.";
RefreshButton.ShortHelp = "Refresh the list";
CloseButton.Title = "Close";
CloseButton.ShortHelp = "Close the process status";
MultiList1.Help = "Your processes on the integration server, oldest first. Select one to read its error message.";
ErrorMsgEditor.Help = "The error message of the selected process; empty when it has none.";
ErrorMsgEditor.ShortHelp = "Error message of the selected process";
