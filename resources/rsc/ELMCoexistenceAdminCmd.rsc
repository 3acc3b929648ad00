// Captions of the coexistence administration dialog's widgets. Module files
// (OAKCoexistenceAdminCmd.rsc, ...) may override single keys.

ContextLabel.Title = "Coexistence context:";
ContextCombo.Help = "The coexistence context whose mappings the batch works on.";
ContextCombo.ShortHelp = "Coexistence context";
DeleteMappingRB.Title = "Delete mappings";
DeleteMappingRB.Help = "Deletes the V5 mappings of the objects in the coexistence context.";
TransferMasterRB.Title = "Transfer mastership";
TransferMasterRB.Help = "Hands the mastership of the mapped objects from one side to the other.";
DeleteAllCB.Title = "All objects of the context";
DeleteAllCB.Help = "Deletes the mappings of every object of the context, not only those of the selection.";
V5V6MasterRB.Title = "From V5 to 3DEXPERIENCE";
V5V6MasterRB.Help = "3DEXPERIENCE becomes master of the objects.";
V6V5MasterRB.Title = "From 3DEXPERIENCE to V5";
V6V5MasterRB.Help = "V5 becomes master of the objects again.";
PreviewCB.Title = "Preview only";
PreviewCB.Help = "The batch reports what it would do and changes nothing.";
ShowResultCB.Title = "Show the report when the batch has ended";
ShowResultCB.Help = "Opens the batch's HTML report once the batch has ended successfully.";
