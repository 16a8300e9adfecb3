#include "ui/search_fields.h"

#include "core/text_codec.h"

#include <QComboBox>
#include <QLineEdit>

namespace kestrow {

AssignmentFields::AssignmentFields(QWidget* parent)
    : event(new QLineEdit(parent))
    , parameter(new QLineEdit(parent))
    , channel(new QComboBox(parent))
{
    event->setPlaceholderText(QStringLiteral("name or number, e.g. Controller or 0"));
    parameter->setPlaceholderText(QStringLiteral("0..127"));
    channel->addItem(QStringLiteral("Any"));
    channel->addItem(QStringLiteral("Master"));
    for (int c = 1; c <= 16; ++c)
        channel->addItem(QString::number(c));
}

QString AssignmentFields::read(const Catalogue& catalogue, SearchCriteria& criteria) const
{
    if (!event->text().trimmed().isEmpty()) {
        criteria.eventTypes = eventTypesNamed(catalogue, toModelText(event->text()));
        if (criteria.eventTypes.empty())
            return QStringLiteral("No event type is named \"%1\".").arg(event->text());
    }
    if (!parameter->text().trimmed().isEmpty()) {
        bool ok = false;
        const int number = parameter->text().trimmed().toInt(&ok);
        if (!ok || number < 0 || number > 127)
            return QStringLiteral("The parameter is a number from 0 to 127.");
        criteria.parameter = number;
    }
    if (channel->currentIndex() > 0)
        criteria.channel = channel->currentIndex() - 1; // 0 "Master", 1..16
    return {};
}

QString fromModelText(const std::string& text)
{
    return QString::fromStdString(cp1252ToUtf8(text));
}

std::string toModelText(const QString& text) { return utf8ToCp1252(text.trimmed().toStdString()); }

} // namespace kestrow
