#pragma once

// The host library keeps default visibility; the macro marks what the
// platform would export, so the plug-in's code reads as it would against it.
#define ExportedByELMHost __attribute__((visibility("default")))
