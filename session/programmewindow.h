#pragma once

#include <QWidget>

class Platform;
class ProgrammeSession;
class SpeakerMessage;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class Viewer;

// プログラム: the programme of talks as a table, the current talk highlighted, with what the chair
// does between talks (open, save, prepare a talk, add the window's setup, delete, move, previous
// and next), the session at a glance, the time of day and where the record goes; and what the
// chair says to the speaker during a talk (a message under the time on the audience's screens,
// a minute more or less). Its cells are edited in place under the same checks as the file.
// Closing it with unsaved changes asks first.
class ProgrammeWindow : public QWidget {
    Q_OBJECT
public:
    ProgrammeWindow(Viewer &viewer, ProgrammeSession &session, SpeakerMessage &message, Platform &platform);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void openFile();
    void prepareSelected();
    void removeSelected();
    void moveSelected(int by);
    void refresh();
    void showSavedMessages();
    void showClock();
    // The session's title, planned start and changeover in their boxes, as the programme has them.
    void showPlan();
    void openRecord();
    int selectedRow() const;

    Viewer &viewer_;
    Platform &platform_;
    ProgrammeSession &session_;
    SpeakerMessage &message_;
    QLabel *title_;
    QLabel *glance_;
    QLabel *record_;
    QLabel *note_;
    QLabel *clock_;
    QLineEdit *titleBox_;
    QLineEdit *startBox_;
    QLineEdit *changeoverBox_;
    QLabel *messageState_;
    QLineEdit *messageLine_;
    QHBoxLayout *savedMessages_;
    QTableView *table_;
};
