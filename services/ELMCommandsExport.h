#pragma once

// The plug-in is built with hidden visibility; only what sibling libraries
// and the host use is exported.
#define ExportedByELMCommands __attribute__((visibility("default")))
