#pragma once

#include <QString>
#include <QWidget>

class QPlainTextEdit;

namespace kestrow {

/// The help window ("Info"): shows the text file Info.txt, read anew every
/// time the window is shown so an edited file shows without a restart.
class TInfoForm : public QWidget {
    Q_OBJECT

public:
    explicit TInfoForm(QWidget* parent = nullptr);

    /// Loads the file at path and shows the window (or brings it to the front).
    void showInfo(const QString& path);

    /// Where Info.txt is: the program's directory (ending with '/') first, then
    /// the installed data directory; the program directory's file when neither
    /// has it.
    static QString locateInfoFile(const QString& programDirectory);

    /// Text for the contents of a file: UTF-8 when it is valid UTF-8, else
    /// Windows-1252 (the editor's other files).
    static QString decodeText(const QByteArray& bytes);

    QString text() const;
    QString path() const { return m_path; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void reload();

    QPlainTextEdit* m_text = nullptr;
    QString m_path;
    bool m_fontSet = false;
};

} // namespace kestrow
