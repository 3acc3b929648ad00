#pragma once

#include "CATDlgInclude.h"

/// Where a widget sits in its container's grid: its top-left cell, how many
/// columns (width) and rows (height) it spans, and how it holds to the sides
/// of that area.
class CATDlgGridConstraints {
public:
  CATDlgGridConstraints() = default;
  CATDlgGridConstraints(int row, int column, int width, int height, CATDlgJustification justification)
      : Row(row), Column(column), W(width), H(height), Justification(justification) {}

  int Row = 0;
  int Column = 0;
  int W = 1;  ///< columns spanned
  int H = 1;  ///< rows spanned
  CATDlgJustification Justification = CATGRID_CENTER;
};
