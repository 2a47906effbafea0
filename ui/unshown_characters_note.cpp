#include "ui/unshown_characters_note.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "album/ansi_text.h"

namespace {

// More than this many characters are summed up with "…".
constexpr int kNamedAtMost = 8;

QString BoxText(const QWidget* box) {
    if (const auto* line = qobject_cast<const QLineEdit*>(box)) {
        return line->text();
    }
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(box)) {
        return plain->toPlainText();
    }
    return {};
}

}  // namespace

CUnshownCharactersNote::CUnshownCharactersNote(QWidget* box)
    : QObject(box), m_box(box), m_label(new QLabel(box->parentWidget())) {
    m_label->setWordWrap(true);
    m_label->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_label->setAutoFillBackground(true);
    m_label->setForegroundRole(QPalette::ToolTipText);
    m_label->setBackgroundRole(QPalette::ToolTipBase);
    m_label->setContentsMargins(2, 0, 2, 0);
    m_label->hide();
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        connect(line, &QLineEdit::textChanged, this, &CUnshownCharactersNote::Update);
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(box)) {
        connect(plain, &QPlainTextEdit::textChanged, this, &CUnshownCharactersNote::Update);
    }
    box->installEventFilter(this);
    Update();
}

QString CUnshownCharactersNote::UnshownCharacters(const QString& text) {
    QString unshown;
    for (const char32_t c : text.toUcs4()) {
        const QString character = QString::fromUcs4(&c, 1);
        if (c != U'?' && Utf8ToCp1252(character.toStdString()) == "?" &&
            !unshown.contains(character)) {
            unshown += character;
        }
    }
    return unshown;
}

void CUnshownCharactersNote::Update() {
    const QList<uint> unshown = UnshownCharacters(BoxText(m_box)).toUcs4();
    if (unshown.isEmpty()) {
        m_label->hide();
        return;
    }
    QStringList named;
    for (qsizetype i = 0; i < unshown.size() && i < kNamedAtMost; ++i) {
        const auto c = static_cast<char32_t>(unshown[i]);
        named << QString::fromUcs4(&c, 1);
    }
    if (unshown.size() > kNamedAtMost) {
        named << QStringLiteral("…");
    }
    m_label->setText(QStringLiteral("The handheld shows %1 as \"?\"").arg(named.join(u' ')));
    Place();
    m_label->show();
    m_label->raise();
}

void CUnshownCharactersNote::Place() {
    const QRect box = m_box->geometry();
    m_label->setGeometry(box.left(), box.bottom() + 1, box.width(),
                         m_label->heightForWidth(box.width()));
}

bool CUnshownCharactersNote::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_box && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        Place();
    }
    return QObject::eventFilter(watched, event);
}
