#pragma once

// The clipboard as 8-bit text, as the grid's cell blocks travel. Other programs
// see the bytes as Latin-1 text; this program reads back exactly the bytes it put.

#include <string>

// Replaces the clipboard's content with the text.
void SetClipboardText8(const std::string& text);

// The clipboard's text as bytes: what SetClipboardText8 put there, or text from
// another program converted to Latin-1 with every character that Latin-1 cannot
// hold left out. Empty when the clipboard holds no text.
std::string GetClipboardText8();
