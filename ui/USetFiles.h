#pragma once
// Parameter-set files from the window's menu: asking for the file, saving the parameter
// page's values there or loading them into its grid, and the operator's messages for what
// went wrong.

#include "sets/ParameterSet.h"

#include <QString>

class QWidget;
class TParamsPage;

// Asks for a file name and saves `document` there; failures are told in an error box.
// `lastFolder` is where the dialog starts (home when empty) and becomes the chosen folder.
void SaveSetFile(QWidget *parent, const TJson &document, QString &lastFolder);
// Asks for a set file and loads it into `page`'s grid; a refused file leaves the grid alone
// and is told in an error box, skipped rows in a warning.
void LoadSetFile(QWidget *parent, TParamsPage &page, QString &lastFolder);
