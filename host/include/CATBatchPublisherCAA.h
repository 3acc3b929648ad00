#pragma once

#include "CATCallbackManager.h"

/// The publisher of the client batch monitor's notifications
/// (CATBatchEndNotifCAA); it lives as long as the process.
ExportedByELMHost CATCallbackManager* GetBatchPublisherCAA();
