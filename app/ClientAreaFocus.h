// Keeps keyboard focus inside the window's visible client area. The form
// places many controls outside it (the window clips them); a user who cannot
// see them must not reach them with Tab, arrow keys or mnemonics either.
#pragma once

class QWidget;

// Makes every descendant of `form` that does not lie wholly inside the form's
// rectangle unfocusable and drops its keyboard shortcut. Run once after all
// controls exist, so that a control added later to the form is covered
// without being named here.
void KeepFocusInClientArea(QWidget& form);
