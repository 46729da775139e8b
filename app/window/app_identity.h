#pragma once

#include <QString>

namespace classifiers {

// The two programs built from the same sources. They differ only in their application title (the
// caption of every message box) and in where they look for the classifier programs.
struct Deliverable {
    const char* title;          // application title
    const char* programSubdir;  // folder beside the front end that holds the classifiers
};

inline constexpr Deliverable kClassifiers{"Classifiers", ""};
inline constexpr Deliverable kClassifier{"Classifier", "debug"};
inline constexpr char kApplicationVersion[] = "1.00";

// Sets the application's name (its title) and version "1.00". Requires a QCoreApplication.
// The display name is left unset on purpose: the window manager would otherwise append the title
// to the window's caption.
void configureApplication(const Deliverable& deliverable);

}  // namespace classifiers
