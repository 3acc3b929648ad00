#pragma once

#include <vector>

class CATDlgDialog;

namespace elmhost {

/// Live dialog windows, oldest first; maintained by CATDlgDialog itself.
std::vector<CATDlgDialog*>& OpenDialogRegistry();

}  // namespace elmhost
