#pragma once
// The About box: the program's title, its makers with a span of years ending in the year the
// program started, the version it was built as, and a link to the project's web site.

#include <QDialog>
#include <QString>

class QFrame;
class QLabel;
class QPushButton;
class TAInternetLabel;

// Modal About dialog, created hidden at start and reused for every showing.
class TAboutForm : public QDialog
{
    Q_OBJECT

public:
    // Builds the dialog and fills its version and year texts once.
    explicit TAboutForm(QWidget *parent = nullptr);

    // Opens the project's web address with the desktop's default handler.
    void wwwLabelClick();

    // The product version the program was built as, or "" when it has none.
    static QString GetProductVersion();
    // The project's web address, chosen when the program is built.
    static QString WebAddress();

    QLabel *Image = nullptr;
    QFrame *Bevel = nullptr;
    QLabel *VerLabel_1 = nullptr;
    TAInternetLabel *VerLabel = nullptr;
    TAInternetLabel *wwwLabel = nullptr;
    QPushButton *CloseButton = nullptr;
};
