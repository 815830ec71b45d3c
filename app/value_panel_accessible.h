#pragma once

class QLabel;

// Lets a value panel speak the value it shows to assistive technology. Its
// accessible name stays the caption that tools find it by; its text interface
// (and its value) carry what the panel shows at the moment it is asked, and
// the caption label beside it, its buddy, labels it.
void MarkValuePanel(QLabel* panel);
