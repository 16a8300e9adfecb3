#include "ui/info_form.h"

#include "core/program_directory.h"
#include "core/text_codec.h"
#include "ui/build_info.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QStringDecoder>
#include <QVBoxLayout>

namespace kestrow {

namespace {

    const QString kInfoFileName = QStringLiteral("Info.txt");

} // namespace

TInfoForm::TInfoForm(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("Info"));
    m_text = new QPlainTextEdit(this);
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_text->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_text);
    resize(640, 520);
}

void TInfoForm::showInfo(const QString& path)
{
    m_path = path;
    if (isVisible())
        reload(); // already shown: showEvent does not run again
    show();
    raise();
    activateWindow();
}

void TInfoForm::showEvent(QShowEvent* event)
{
    if (!m_fontSet) {
        // Set when first shown: loading the face is no work for start-up.
        QFont font;
        font.setFamilies({ QStringLiteral("Liberation Mono"), QStringLiteral("Courier New") });
        font.setStyleHint(QFont::TypeWriter);
        font.setFixedPitch(true);
        font.setPointSize(10);
        m_text->setFont(font);
        m_fontSet = true;
    }
    reload();
    QWidget::showEvent(event);
}

QString TInfoForm::text() const { return m_text->toPlainText(); }

QString TInfoForm::decodeText(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(bytes);
    if (utf8.hasError())
        text = QString::fromStdString(cp1252ToUtf8(
            std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))));
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

void TInfoForm::reload()
{
    QFile file(m_path);
    if (m_path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        const QString shown = m_path.isEmpty() ? kInfoFileName : QDir::toNativeSeparators(m_path);
        m_text->setPlainText(
            QStringLiteral("The help text could not be read.\n\n"
                           "The editor looks for it in the file\n    %1\n\n"
                           "Put the file Info.txt there and open this window again.")
                .arg(shown));
        return;
    }
    m_text->setPlainText(decodeText(file.readAll()));
}

QString TInfoForm::locateInfoFile(const QString& programDirectory)
{
    const std::string program = programDirectory.toStdString();
    const QString directory = QString::fromStdString(
        dataFileDirectory(kInfoFileName.toStdString(), program, installedDataDirectory(program)));
    // The file may be spelt in another case; use the name it really has.
    const QStringList found = QDir(directory.isEmpty() ? QStringLiteral(".") : directory)
                                  .entryList({ kInfoFileName }, QDir::Files | QDir::Readable);
    return directory + (found.isEmpty() ? kInfoFileName : found.first());
}

} // namespace kestrow
