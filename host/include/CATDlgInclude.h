#pragma once

/// Style bits, states and values of the host's dialogs.
using CATDlgStyle = unsigned long;
using CATULong = unsigned long;

constexpr CATULong CATDlgShow = 2;
constexpr CATULong CATDlgHide = 4;
constexpr CATULong CATDlgEnable = 8;
constexpr CATULong CATDlgDisable = 0x10;
constexpr CATULong CATDlgCheck = 0x40000;
constexpr CATULong CATDlgUncheck = 0x80000;

/// Message box styles; a box combines one kind with its buttons.
constexpr CATDlgStyle CATDlgNfyOK = 0x100000;
constexpr CATDlgStyle CATDlgNfyInformation = 0x4000000;
constexpr CATDlgStyle CATDlgNfyWarning = 0x8000000;
constexpr CATDlgStyle CATDlgNfyError = 0x10000000;
