// Marks a text for Qt's translation tools without Qt.
//
// The Qt-free libraries keep their user-visible texts in Russian, the
// program's source language, each marked with QT_TRANSLATE_NOOP(context,
// text) so that lupdate collects it into the translations (i18n/*.ts).  The
// mark leaves the text as it stands; whoever shows it translates it in that
// context: the window with QCoreApplication::translate, orn10ctl with its
// own catalogue made from the same translations.
//
// The definition is Qt's own, so that either may come first.
#pragma once

#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif
