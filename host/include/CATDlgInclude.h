#pragma once

/// Style bits, states and values of the host's dialogs.
using CATDlgStyle = unsigned long;
using CATULong = unsigned long;
using CATDlgJustification = unsigned long;

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

/// Dialog window styles. A dialog shows the standard buttons its style
/// names; CATDlgWndNoButton leaves it without any. Bits this host does not
/// list here are kept in the style and have no visible effect.
constexpr CATDlgStyle CATDlgGridLayout = 0x1;
constexpr CATDlgStyle CATDlgWndBtnOK = 0x200;
constexpr CATDlgStyle CATDlgWndBtnCancel = 0x400;
constexpr CATDlgStyle CATDlgWndBtnApply = 0x800;
constexpr CATDlgStyle CATDlgWndBtnPreview = 0x1000;
constexpr CATDlgStyle CATDlgWndBtnHelp = 0x2000;
constexpr CATDlgStyle CATDlgWndNoButton = 0x4000;
constexpr CATDlgStyle CATDlgWndBtnClose = 0x10000000;
constexpr CATDlgStyle CATDlgWndBtnOKCancel = CATDlgWndBtnOK | CATDlgWndBtnCancel;

/// The standard buttons of a dialog, as SetDefaultButton names them.
constexpr CATULong CATDlgWndOK = 0x100000;
constexpr CATULong CATDlgWndCANCEL = 0x200000;
constexpr CATULong CATDlgWndAPPLY = 0x400000;
constexpr CATULong CATDlgWndCLOSE = 0x800000;
constexpr CATULong CATDlgWndPREVIEW = 0x1000000;
constexpr CATULong CATDlgWndHELP = 0x2000000;

/// Editor styles.
constexpr CATDlgStyle CATDlgEdtMultiline = 0x80000;
constexpr CATDlgStyle CATDlgEdtInteger = 0x200000;
constexpr CATDlgStyle CATDlgEdtReadOnly = 0x4000000;

/// Separator style: a vertical line instead of a horizontal one.
constexpr CATDlgStyle CATDlgSepVertical = 0x80000;

/// Frame styles: no title line, no border.
constexpr CATDlgStyle CATDlgFraNoTitle = 0x40000;
constexpr CATDlgStyle CATDlgFraNoFrame = 0x80000;

/// How a widget holds to the sides of its grid cell (bits combine; all four
/// sides make it fill the cell). The constant-size bits keep the widget at
/// its natural width or height.
constexpr CATDlgJustification CATGRID_LEFT = 0x02;
constexpr CATDlgJustification CATGRID_RIGHT = 0x04;
constexpr CATDlgJustification CATGRID_TOP = 0x08;
constexpr CATDlgJustification CATGRID_BOTTOM = 0x10;
constexpr CATDlgJustification CATGRID_CST_WIDTH = 0x20;
constexpr CATDlgJustification CATGRID_CST_HEIGHT = 0x40;
constexpr CATDlgJustification CATGRID_4SIDES = CATGRID_LEFT | CATGRID_RIGHT | CATGRID_TOP | CATGRID_BOTTOM;
constexpr CATDlgJustification CATGRID_CENTER = 0;

/// Modes of the list and combo line setters: a line index of -1 appends a
/// new line whatever the mode.
constexpr CATULong CATDlgDataAdd = 0x20;
constexpr CATULong CATDlgDataModify = 0x40;
