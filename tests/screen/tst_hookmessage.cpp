#include "extension/hookmessage.h"

#include <QWidget>
#include <QtTest>

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <cstring>

// Hook messages travel as X11 client messages; a window's nativeEvent must
// turn them back into (message, wParam, lParam) and ignore everything else.
using Triple = QVector<unsigned>;

namespace {

Triple triple(const HookMessage &message)
{
    return {message.message, message.wParam, message.lParam};
}

class Receiver : public QWidget
{
public:
    QVector<Triple> received;

protected:
    bool nativeEvent(const QByteArray &eventType, void *message, long *result) override
    {
        if (const auto hook = decodeHookMessage(eventType, message)) {
            received.append(triple(*hook));
            return true;
        }
        return QWidget::nativeEvent(eventType, message, result);
    }
};

// A connection of its own, as the extension library would use.
class Sender
{
public:
    Sender() : display(XOpenDisplay(nullptr)) {}
    ~Sender()
    {
        if (display)
            XCloseDisplay(display);
    }

    Atom atom(const char *name) const { return XInternAtom(display, name, False); }

    void send(Window window, Atom type, int format, const Triple &data) const
    {
        XEvent event;
        std::memset(&event, 0, sizeof event);
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = type;
        event.xclient.format = format;
        for (int i = 0; i < data.size(); ++i)
            event.xclient.data.l[i] = static_cast<long>(data[i]);
        XSendEvent(display, window, False, NoEventMask, &event);
        XFlush(display);
    }

    Display *display;
};

xcb_client_message_event_t clientMessage(uint8_t responseType, xcb_atom_t type, uint8_t format)
{
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = responseType;
    event.type = type;
    event.format = format;
    event.data.data32[0] = HookMessage::Keystroke;
    event.data.data32[1] = 0x1B;
    event.data.data32[2] = 7;
    return event;
}

} // namespace

class TestHookMessage : public QObject
{
    Q_OBJECT

private slots:
    void decodesOnlyOurClientMessages();
    void windowReceivesSentMessages();
};

void TestHookMessage::decodesOnlyOurClientMessages()
{
    Sender sender;
    QVERIFY(sender.display);
    const xcb_atom_t ours = sender.atom(SNAPLARK_WINDOW_MESSAGE_ATOM);
    const xcb_atom_t other = sender.atom("_SNAPLARK_SOMETHING_ELSE");
    const QByteArray xcb("xcb_generic_event_t");

    auto event = clientMessage(XCB_CLIENT_MESSAGE, ours, 32);
    auto decoded = decodeHookMessage(xcb, &event);
    QVERIFY(decoded);
    QCOMPARE(triple(*decoded), Triple({0x465u, 0x1Bu, 7u}));

    // as it arrives when sent by another client (the SendEvent bit set)
    event = clientMessage(XCB_CLIENT_MESSAGE | 0x80, ours, 32);
    QVERIFY(decodeHookMessage(xcb, &event));

    event = clientMessage(XCB_CLIENT_MESSAGE, other, 32);
    QVERIFY(!decodeHookMessage(xcb, &event));
    event = clientMessage(XCB_CLIENT_MESSAGE, ours, 8);
    QVERIFY(!decodeHookMessage(xcb, &event));
    event = clientMessage(XCB_KEY_PRESS, ours, 32);
    QVERIFY(!decodeHookMessage(xcb, &event));
    event = clientMessage(XCB_CLIENT_MESSAGE, ours, 32);
    QVERIFY(!decodeHookMessage("windows_generic_MSG", &event));
    QVERIFY(!decodeHookMessage(xcb, nullptr));
}

void TestHookMessage::windowReceivesSentMessages()
{
    Receiver window;
    window.setWindowTitle("SnaplarkHookTarget");
    window.resize(200, 100);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    Sender sender;
    QVERIFY(sender.display);
    const Window target = window.winId();
    const Atom ours = sender.atom(SNAPLARK_WINDOW_MESSAGE_ATOM);
    const QVector<Triple> sent = {
        {HookMessage::Keystroke, 0x1B, 0},
        {HookMessage::Mouse, HookMessage::MouseWheel, HookMessage::WheelUp},
        {HookMessage::Mouse, HookMessage::MouseWheel, HookMessage::WheelDown},
        // every bit of the 32-bit fields survives
        {0x1234, 0xFFFFFFFFu, 0x80000000u},
    };
    sender.send(target, sender.atom("_SNAPLARK_SOMETHING_ELSE"), 32, {1, 2, 3});
    for (const Triple &message : sent)
        sender.send(target, ours, 32, message);

    QTRY_COMPARE(window.received.size(), sent.size());
    QCOMPARE(window.received, sent);
}

QTEST_MAIN(TestHookMessage)
#include "tst_hookmessage.moc"
