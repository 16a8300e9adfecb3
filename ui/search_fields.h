#pragma once

#include "core/bank_search.h"

#include <QString>

class QComboBox;
class QLineEdit;
class QWidget;

namespace kestrow {

/// The event, parameter and channel fields that "Find..." and the Library share.
struct AssignmentFields {
    QLineEdit* event;
    QLineEdit* parameter;
    QComboBox* channel; ///< entry 0 "Any", 1 "Master", 2.. channels 1..16

    /// The three fields, children of parent.
    explicit AssignmentFields(QWidget* parent);
    /// Puts what the fields ask into criteria; the reason when they cannot
    /// be read, else empty.
    QString read(const Catalogue& catalogue, SearchCriteria& criteria) const;
};

/// Windows-1252 model text to UTF-8 for the screen and back (trimmed).
QString fromModelText(const std::string& text);
std::string toModelText(const QString& text);

} // namespace kestrow
