#pragma once

#include <QComboBox>
#include <QIcon>

class QListView;
class QPushButton;

// A combo box whose list pops up right under it, as wide as the combo box, with long texts
// elided on the right. GUI thread only.
class XComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit XComboBox(QWidget *parent = nullptr);

    void showPopup() override;

    QListView *listView() const { return list; }

signals:
    // For a per-item delete button; no window of the program creates one.
    void signalItemDelete(int index);

public slots:
    // Reports the hovered row for deletion, when there is one.
    void onDeleteBtnClicked();

private:
    QListView *list = nullptr;
    QPushButton *deleteButton = nullptr;
    QIcon icon;
    int hoveredIndex = -1;
};
