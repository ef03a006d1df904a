// Read-only statement viewers of the session window: the SQL editor in
// "Courier New", gutter hidden, context help on Ctrl+F1, coloured by one shared Oracle highlighter
// (comments grey, SQL*Plus words navy, strings green).
#pragma once

#include <string>

class TCodeEdit;
class TCodeSQLHighlighter;
class TComponent;
class TPopupMenu;
class TWinControl;

// The window's highlighter (Oracle dialect, default file filter "SQL Files (*.sql)|*.sql").
TCodeSQLHighlighter* NewSqlHighlighter(TComponent* Owner, const std::string& Name);
// Context help of an SQL editor moves from F1 to Ctrl+F1.
void MoveContextHelpToCtrlF1(TCodeEdit* Editor);
// Shows a statement in a viewer from its start: caret at the start, nothing selected, not scrolled. A
// viewer that already shows the same lines that way is left alone (setting them again would colour
// the whole text again and paint the viewer whole for the same picture).
void ShowStatement(TCodeEdit* Viewer, const std::string& Text);
// A read-only viewer filling Parent, with that highlighter and popup menu (nullptr: none).
TCodeEdit* NewSqlViewer(TComponent* Owner, TWinControl* Parent, const std::string& Name,
                        TCodeSQLHighlighter* Highlighter, TPopupMenu* Popup);
