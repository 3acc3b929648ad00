// The OAK module's own name in the About dialog.

ELM_Name.Title = "OAK PDM Integration";
