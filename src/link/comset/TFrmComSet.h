#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

// The communication settings dialog. It only collects a choice; the caller fills ComboBox1,
// reads ComboBox1's text, ComboBox2's index and Confirmed after the modal run, and does the
// port and configuration work itself.
class TFrmComSet : public QDialog {
    Q_OBJECT
  public:
    explicit TFrmComSet(QWidget* parent = nullptr);

    QLabel* Label1;
    QComboBox* ComboBox1;
    QLabel* Label2;
    QComboBox* ComboBox2;
    QPushButton* BtnOk;
    QPushButton* BtnCl;
    bool Confirmed = false;

    void FormCreate();
    void BtnOkClick();
    void BtnClClick();
};
