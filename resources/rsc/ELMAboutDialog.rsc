// Captions and pictures of the About dialog's widgets. The module files
// (OAKAboutDialog.rsc, ...) override single keys of this one.

ELMIcon.Icon = "I_ELMAbout";
ELM_Name.Title = "ELM PDM Integration";
ELMVersion.Title = "Version:";
ELM3DXLevel.Title = "3DEXPERIENCE level:";
ELMServerUrlLabel.Title = "Integration server:";
ELMCheckServerButton.Title = "Check server connection";
ELMCheckServerButton.Help = "Sends a test request to the integration server and tells whether it answered.";
ELMCheckServerButton.ShortHelp = "Check the integration server";
ELMCheckServerButton.LongHelp = "Sends a test request to the integration server shown above and tells whether it answered.\nThe button is available only when a server address is configured.";
