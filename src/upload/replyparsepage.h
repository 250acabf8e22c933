#pragma once

#include <QWebPage>

// A hidden web page that turns a reply body into the text a browser would
// show.  The body comes from the network, so the page runs no scripts or
// plugins and loads nothing: no images, style sheets, frames or prefetches.
class ReplyParsePage : public QWebPage
{
    Q_OBJECT
public:
    explicit ReplyParsePage(QObject *parent = nullptr);

    // The body read as an HTML document, as plain text.
    QString plainText(const QByteArray &body);
};
