#pragma once

#include "CATDlgGridConstraints.h"
#include "CATDlgInclude.h"

#include <QDialog>

#include <set>
#include <string>
#include <vector>

class CATDialog;
class CATDlgDialog;
class QPushButton;
class QVBoxLayout;

namespace elmgui {

class DialogPresenter;

/// How a widget holds to the sides of its grid cell, as Qt aligns it in a
/// QGridLayout cell: a side pair that is both held fills that direction
/// (no alignment flag), one side aligns to it, none centres.
Qt::Alignment AlignmentFor(CATDlgJustification justification);

/// One dialog of the host's model shown as a window. The window holds no
/// state of its own: every widget is made from the model widget of the same
/// name, placed on its container's grid by the widget's grid constraints,
/// and brought back in line with the model by Refresh. What a person does
/// in it goes to the presenter, which acts through the host's driver.
class DialogWindow : public QDialog {
public:
  DialogWindow(CATDlgDialog* dialog, DialogPresenter& presenter, QWidget* parent);
  ~DialogWindow() override;

  CATDlgDialog* Dialog() const { return m_dialog; }
  unsigned long Serial() const { return m_serial; }

  /// Brings every widget in line with the model: texts, checks, lines,
  /// selections, columns, sensitivity, visibility, help texts, the standard
  /// buttons. When widgets came, went or moved in the model, the window's
  /// widgets are made anew. The dialog must be live.
  void Refresh();
  /// The model closed the dialog: the window goes without telling the model.
  void Dismiss();

  /// The Qt widget that shows a model widget; null when none does.
  QWidget* WidgetFor(const CATDialog* widget) const;
  /// The push button of a standard button (CATDlgWndOK, ...); null when the
  /// dialog has none.
  QPushButton* StandardButton(CATULong button) const;

protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

private:
  /// What makes the window's widgets: which model widgets there are, of
  /// which kind, under which container and in which grid cell.
  struct Shape {
    const CATDialog* widget;
    std::string kind;
    std::string name;
    const CATDialog* parent;
    bool placed;
    CATDlgGridConstraints grid;
    CATDlgStyle style;
    std::set<int> rows;
    std::set<int> columns;
    bool operator==(const Shape& o) const;
  };
  struct Shown {
    CATDialog* model;
    QWidget* widget;
  };

  std::vector<Shape> CurrentShape() const;
  void Build();
  void Lay(CATDialog* container, QWidget* holder);
  QWidget* Make(CATDialog* model, QWidget* parent);
  void Connect(CATDialog* model, QWidget* widget);
  void Update(CATDialog* model, QWidget* widget);
  void UpdateButtons();

  CATDlgDialog* m_dialog;
  unsigned long m_serial;
  std::string m_name;
  DialogPresenter& m_presenter;
  std::vector<Shape> m_shape;
  std::vector<Shown> m_shown;
  std::vector<std::pair<CATULong, QPushButton*>> m_buttons;
  QVBoxLayout* m_layout = nullptr;
  QWidget* m_body = nullptr;
  bool m_dismissing = false;
};

}  // namespace elmgui
