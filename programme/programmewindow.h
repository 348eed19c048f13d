#pragma once

#include <QWidget>

class Platform;
class ProgrammeSession;
class QLabel;
class QPushButton;
class QTableView;
class Viewer;

// プログラム: the programme of talks as a table, the current talk highlighted, with what the chair
// does between talks (open, save, prepare a talk, add the window's setup, delete, move, previous
// and next), the session at a glance and where the record goes. Its cells are edited in place
// under the same checks as the file. Closing it with unsaved changes asks first.
class ProgrammeWindow : public QWidget {
    Q_OBJECT
public:
    ProgrammeWindow(Viewer &viewer, Platform &platform);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void openFile();
    void prepareSelected();
    void removeSelected();
    void moveSelected(int by);
    void refresh();
    int selectedRow() const;

    Viewer &viewer_;
    Platform &platform_;
    ProgrammeSession &session_;
    QLabel *title_;
    QLabel *glance_;
    QLabel *record_;
    QLabel *note_;
    QTableView *table_;
};
