// The window as it comes up: its controls, their names, captions and places, and the order
// the keyboard visits them in.

#include "window_fixture.h"

#include "roster/roster.h"
#include "ui/artwork.h"
#include "ui/font_fit.h"
#include "ui/screen_fit.h"
#include "widget_text_boxes.h"

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <set>
#include <span>
#include <tuple>
#include <utility>

namespace kelvarin::testing {
namespace {

using WindowLayoutTest = WindowTest;

struct Expected {
    const char* name;
    const char* text;
};

// Every widget named in `expected` exists under `window` as a `Widget` and shows its text.
template <typename Widget>
void ExpectTexts(const QWidget& window, std::span<const Expected> expected,
                 QString (Widget::*text)() const) {
    for (const Expected& each : expected) {
        const auto* found = window.findChild<Widget*>(QLatin1String(each.name));
        ASSERT_NE(found, nullptr) << each.name;
        EXPECT_EQ((found->*text)(), each.text) << each.name;
    }
}

TEST_F(WindowLayoutTest, WindowHasItsCaptionIconAndClientSize) {
    EXPECT_EQ(shownTitle(), "Kelvarin");
    EXPECT_FALSE(window.windowIcon().isNull());
    EXPECT_EQ(window.windowIcon().pixmap(32, 32).size(), QSize(32, 32));
    // Enlarged in whole pixels for scaled screens only: every size slows the window's showing.
    const QList<QSize> unscaled{{32, 32}};
    const QList<QSize> scaled{{32, 32}, {64, 64}, {96, 96}, {128, 128}};
    const std::pair<qreal, QList<QSize>> icons[] = {
        {1.0, unscaled}, {1.25, scaled}, {1.5, scaled}, {2.0, scaled}};
    for (const auto& [scale, sizes] : icons) {
        EXPECT_EQ(ApplicationIcon(scale).availableSizes(), sizes) << scale;
    }
    EXPECT_EQ(window.size(), QSize(457, 769));
    // The window carries the form's name; the button of the same name is found inside it.
    EXPECT_EQ(window.objectName(), "cmdOpen");
    EXPECT_EQ(button("cmdOpen")->text(), "Open");
    EXPECT_EQ(button("cmdSave")->text(), "Save");
}

TEST_F(WindowLayoutTest, FramesLabelsAndPicturesCarryTheirNamesAndCaptions) {
    const Expected frames[] = {
        {"Stat", "Gym 1 Oreburgh"},
        {"Gym8", "Gym 2 Eterna"},
        {"GYM3", "Gym 3 Veilstone"},
        {"Gym4", "Gym 4 Pastoria"},
        {"Frame5", "Gym 5 Hearthome City"},
        {"Frame1", "Gym 6 Canalave"},
        {"Frame8", "Gym 7 Snowpoint"},
        {"Frame9", "Gym 8 Sunyshore"},
        {"Frame4", ""},
    };
    ExpectTexts<QGroupBox>(window, frames, &QGroupBox::title);

    const Expected labels[] = {
        {"Leader1", "Gym leader roak"},
        {"Label3", "Gym leader Gardenia"},
        {"Label19", "Gym leader Maylene"},
        {"Label20", "Gym leader Crasher Wake"},
        {"Label21", "Gym leader Fantina"},
        {"Label22", "Gym leader Byron"},
        {"Label23", "Gym leader Candice"},
        {"Label24", "Gym leader Volkner"},
        {"Label1", "Lv"},
        {"Label6", "Lv"},
        {"Label7", "Lv"},
        {"Label8", "Lv"},
        {"Label9", "Lv"},
        {"Label10", "Lv"},
        {"Label11", "Lv"},
        {"Label12", "Lv"},
        {"Label2", "Pokemon"},
        {"Label5", "Pokemon"},
        {"Label13", "Pokemon"},
        {"Label14", "Pokemon"},
        {"Label15", "Pokemon"},
        {"Label16", "Pokemon"},
        {"Label17", "Pokemon"},
        {"Label18", "Pokemon"},
    };
    ExpectTexts<QLabel>(window, labels, &QLabel::text);
    const auto* credits = window.findChild<QLabel*>(QStringLiteral("Label25"));
    ASSERT_NE(credits, nullptr);
    EXPECT_FALSE(credits->text().isEmpty());
    EXPECT_EQ(credits->parentWidget()->objectName(), "Frame4");

    for (int gym = 1; gym <= 8; ++gym) {
        const auto* picture = window.findChild<QLabel*>(QStringLiteral("Picture%1").arg(gym));
        ASSERT_NE(picture, nullptr) << gym;
        EXPECT_EQ(picture->pixmap().size(), QSize(21, 21)) << gym;
    }
    EXPECT_TRUE(GymPicture(0).isNull());
    EXPECT_TRUE(GymPicture(9).isNull());
}

// Places in pixels, 15 twips to the pixel: a wrong conversion or a frame-relative place taken
// as window-relative shows up here.
TEST_F(WindowLayoutTest, ControlsSitWhereTheirTwipsSay) {
    EXPECT_EQ(button("cmdOpen")->geometry(), QRect(168, 16, 65, 25));
    EXPECT_EQ(button("cmdSave")->geometry(), QRect(232, 16, 57, 25));
    EXPECT_EQ(window.findChild<QWidget*>("Stat")->geometry(), QRect(8, 56, 209, 145));
    EXPECT_EQ(window.findChild<QWidget*>("Frame9")->geometry(), QRect(240, 536, 209, 169));
    EXPECT_EQ(window.findChild<QWidget*>("Frame4")->geometry(), QRect(8, 720, 441, 41));
    EXPECT_EQ(window.findChild<QWidget*>("Label25")->geometry(), QRect(8, 8, 425, 25));
    EXPECT_EQ(window.findChild<QWidget*>("Leader1")->geometry(), QRect(16, 24, 81, 17));
    EXPECT_EQ(window.findChild<QWidget*>("Label24")->geometry(), QRect(16, 24, 137, 17));
    EXPECT_EQ(window.findChild<QWidget*>("Picture8")->geometry(), QRect(176, 16, 25, 25));
    EXPECT_EQ(list("g11")->geometry(), QRect(8, 64, 41, 21));
    EXPECT_EQ(list("G8P4")->geometry(), QRect(56, 136, 145, 21));
    EXPECT_EQ(list("G8P4")->mapTo(&window, QPoint(0, 0)), QPoint(296, 672));
    EXPECT_EQ(list("Combo20")->mapTo(&window, QPoint(0, 0)), QPoint(248, 376 + 112));
}

TEST_F(WindowLayoutTest, ResizingMovesNothing) {
    const QRect before = list("G8P4")->geometry();
    window.resize(200, 300);
    EXPECT_EQ(list("G8P4")->geometry(), before);
    EXPECT_EQ(window.findChild<QWidget*>("Frame9")->geometry(), QRect(240, 536, 209, 169));
    window.resize(900, 1000);
    EXPECT_EQ(list("G8P4")->geometry(), before);
}

TEST_F(WindowLayoutTest, EveryTextFitsItsBoxInTheChosenFont) {
#ifdef _WIN32
    if (QApplication::platformName() == QLatin1String("offscreen")) {
        GTEST_SKIP() << "Qt's offscreen platform on Windows has no font database and measures "
                        "every glyph as a box; the Windows package's window check "
                        "(tests/windows) looks at the real window instead";
    }
#endif
    const std::vector<TextBox> boxes = TextBoxesOf(window);
    EXPECT_EQ(boxes.size(), 2u + 8u + 8u * 3u + 1u + 52u); // buttons, titles, labels, lists
    for (const CutOffText& cut : CutOffTexts(boxes, window.font())) {
        ADD_FAILURE() << cut.owner.toStdString() << ": \"" << cut.text.toStdString() << "\" needs "
                      << cut.needed.width() << "x" << cut.needed.height() << ", has "
                      << cut.available.width() << "x" << cut.available.height();
    }
    // "100" must be readable in a 41-pixel level list: not below 7 points.
    EXPECT_GE(QFontInfo(window.font()).pointSizeF(), 7.0);
}

// A person's larger font grows every part of the layout by one scale, at least the font's own,
// and draws the text in it, uncut; a font no larger leaves the window exactly as designed. The
// running window, with a change pending, meets the font as a window made in it is made.
TEST_F(WindowLayoutTest, ALargerFontGrowsTheLayoutAndKeepsItsSize) {
#ifdef _WIN32
    if (QApplication::platformName() == QLatin1String("offscreen")) {
        GTEST_SKIP() << "Qt's offscreen platform on Windows has no font database";
    }
#endif
    const std::string image = dir.file("image.nds");
    MakeRosterImage(image);
    dialogs.willChoose(QString::fromStdString(image));
    ASSERT_TRUE(press("cmdOpen").empty());
    list("G1P1")->setCurrentIndex(list("G1P1")->currentIndex() + 1);
    const std::map<QString, int> chosen = selections();
    window.show();
    const QRect free = window.screen()->availableGeometry();
    const QSize designed(457, 769);
    const QRect species(56, 64, 145, 21); // G1P1 in its frame
    const struct {
        const char* family; // the platform's when empty
        qreal points;
    } rows[] = {{"", kReferencePointSize},
                {"", 7},
                {"DejaVu Serif", kReferencePointSize},
                {"", 14},
                {"", 18}};
    const auto restore = qScopeGuard([before = QApplication::font()] {
        QApplication::setFont(before);
        QCoreApplication::processEvents();
    });
    for (const auto& [family, points] : rows) {
        QFont font = QApplication::font();
        if (*family != '\0') {
            font.setFamily(QLatin1String(family));
        }
        font.setPointSizeF(points);
        QApplication::setFont(font);
        QCoreApplication::processEvents(); // as the desktop's change reaches the window
        const MainWindow made(dialogs);
        const auto* made1 = made.findChild<QComboBox*>(QStringLiteral("G1P1"));
        const auto* leader = made.findChild<QLabel*>(QStringLiteral("Leader1"));
        const qreal scale = qreal(made.width()) / designed.width();
        if (points <= kReferencePointSize) {
            EXPECT_EQ(made.size(), designed) << family << points;
            EXPECT_EQ(made1->geometry(), species) << family << points;
        } else {
            EXPECT_GE(scale, points / kReferencePointSize) << points;
            for (const qreal grown : {qreal(made.height()) / designed.height(),
                                      qreal(made1->height()) / species.height(),
                                      qreal(leader->width()) / 81}) { // Leader1 as designed
                EXPECT_NEAR(grown, scale, 0.05) << points; // pixels round each on their own
            }
            EXPECT_GE(QFontInfo(made1->font()).pointSizeF(), points - 0.01) << points;
        }
        EXPECT_TRUE(CutOffTexts(TextBoxesOf(made), made.font()).empty()) << points;
        EXPECT_EQ(list("G1P1")->geometry(), made1->geometry()) << points;
        EXPECT_EQ(window.findChild<QScrollArea*>()->widget()->size(), made.size()) << points;
        EXPECT_TRUE(free.contains(window.frameGeometry())) << points;
        EXPECT_EQ(selections(), chosen) << points;
        EXPECT_TRUE(window.isWindowModified()) << points;
    }
    // A new theme with the same font leaves the size the person gave the window.
    window.resize(designed - QSize(100, 100));
    QEvent themeChange(QEvent::ThemeChange);
    QApplication::sendEvent(&window, &themeChange);
    EXPECT_EQ(window.size(), designed - QSize(100, 100));
}

TEST(TextFit, ReportsATextTooWideOrTooTallForItsBox) {
    QWidget root;
    auto* label = new QLabel(QStringLiteral("A leader with a rather long name"), &root);
    label->setObjectName(QStringLiteral("tight"));
    label->setGeometry(0, 0, 40, 17);
    auto* roomy = new QLabel(QStringLiteral("Lv"), &root);
    roomy->setGeometry(0, 20, 200, 30);

    const std::vector<CutOffText> cut = CutOffTexts(TextBoxesOf(root), root.font());
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut.front().owner, "tight");

    QFont tall = root.font();
    tall.setPixelSize(40);
    EXPECT_EQ(CutOffTexts(TextBoxesOf(root), tall).size(), 2u);
}

TEST(TextFit, ShrinksTheFontUntilTheWidestEntryFits) {
    const QStringList entries{QStringLiteral("Kricketune"), QStringLiteral("Farfetch 'd")};
    QFont base = QApplication::font();
    base.setPointSizeF(12);
    const QFontMetrics large(base);
    const QSize room(large.horizontalAdvance(entries.back()) * 2 / 3, large.height());
    const std::vector<TextBox> boxes{{QStringLiteral("list"), room, entries}};

    const QFont chosen = FontThatFits(boxes, base);
    EXPECT_LT(chosen.pointSizeF(), 12);
    EXPECT_TRUE(CutOffTexts(boxes, chosen).empty());
    // Not needlessly small: a point larger in the same stretch no longer fits.
    QFont pointLarger = chosen;
    pointLarger.setPointSizeF(chosen.pointSizeF() + 1);
    EXPECT_FALSE(CutOffTexts(boxes, pointLarger).empty());
}

TEST_F(WindowLayoutTest, KeyboardVisitsOpenSaveThenEveryGymRowInOrder) {
    std::vector<QString> expected{"cmdOpen", "cmdSave"};
    const char* gyms[][8] = {
        {"g11", "G1P1", "g12", "G1P2", "g13", "G1P3"},
        {"g21", "g2p1", "g22", "g2p2", "g23", "g2p3"},
        {"g31", "G3P1", "g32", "G3P2", "g33", "G3P3"},
        {"g41", "G4P1", "g42", "G4P2", "g43", "G4P3"},
        {"g51", "G5P1", "g52", "G5P2", "g53", "G5P3"},
        {"Combo22", "G6P1", "Combo21", "G6P2", "Combo20", "G6P3"},
        {"g71", "G7P1", "g72", "G7P2", "g73", "G7P3", "g74", "G7P4"},
        {"g81", "G8P1", "g82", "G8P2", "g83", "G8P3", "g84", "G8P4"},
    };
    for (const auto& gym : gyms) {
        for (const char* name : gym) {
            if (name != nullptr) {
                expected.emplace_back(QLatin1String(name));
            }
        }
    }

    // Save is there to visit once an image is open.
    const std::string image = dir.file("image.nds");
    MakeRosterImage(image);
    dialogs.willChoose(QString::fromStdString(image));
    ASSERT_TRUE(press("cmdOpen").empty());
    std::vector<QString> visited;
    QWidget* widget = button("cmdOpen");
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) != 0 && widget->isEnabled()) {
            visited.push_back(widget->objectName());
        }
        widget = widget->nextInFocusChain();
    } while (widget != button("cmdOpen") && visited.size() <= expected.size());
    EXPECT_EQ(visited, expected);
}

QAccessibleInterface* Spoken(QComboBox* list) {
    return QAccessible::queryAccessibleInterface(list);
}

// A screen reader tells the lists apart by their names, before and after a load alike, and hears
// the entry a list shows as its value (and as its only text), never in place of its name.
TEST_F(WindowLayoutTest, EveryListIsNamedByItsFieldAndValuedByItsEntry) {
    std::map<QString, QString> namesBefore;
    for (QComboBox* each : window.findChildren<QComboBox*>()) {
        namesBefore[each->objectName()] = Spoken(each)->text(QAccessible::Name);
        EXPECT_EQ(Spoken(each)->text(QAccessible::Value), "") << each->objectName().toStdString();
    }
    const std::string image = dir.file("image.nds");
    MakeRosterImage(image);
    dialogs.willChoose(QString::fromStdString(image));
    ASSERT_TRUE(press("cmdOpen").empty());

    const QString placeholder =
        QStringLiteral("Placeholder: not read from the image and not saved");
    const struct {
        const char* list;
        const char* name;
        bool bound;
    } rows[] = {
        {"G8P4", "Gym 8, member 4, species", true},  {"g32", "Gym 3, member 2, level", true},
        {"g2p1", "Gym 2, member 1, species", true},  {"Combo20", "Gym 6, member 3, level", false},
        {"G6P1", "Gym 6, member 1, species", false},
    };
    for (const auto& row : rows) {
        QAccessibleInterface* spoken = Spoken(list(row.list));
        ASSERT_NE(spoken, nullptr) << row.list;
        EXPECT_EQ(spoken->role(), QAccessible::ComboBox) << row.list;
        EXPECT_EQ(spoken->text(QAccessible::Name), row.name) << row.list;
        EXPECT_EQ(spoken->text(QAccessible::Description), row.bound ? QString() : placeholder)
            << row.list;
        // A loaded list shows the stored entry; gym 6's lists are not loaded.
        EXPECT_EQ(spoken->text(QAccessible::Value).isEmpty(), !row.bound) << row.list;
    }

    std::set<QString> names;
    for (QComboBox* each : window.findChildren<QComboBox*>()) {
        const std::string control = each->objectName().toStdString();
        QAccessibleInterface* spoken = Spoken(each);
        const QString name = spoken->text(QAccessible::Name);
        const QString value = spoken->text(QAccessible::Value);
        EXPECT_EQ(name, namesBefore[each->objectName()]) << control;
        EXPECT_FALSE(name.isEmpty()) << control;
        EXPECT_NE(name, value) << control;
        EXPECT_EQ(value, each->currentText()) << control;
        names.insert(name);

        QAccessibleTextInterface* text = spoken->textInterface();
        ASSERT_NE(text, nullptr) << control;
        EXPECT_EQ(text->characterCount(), value.size()) << control;
        EXPECT_EQ(text->text(0, -1), value) << control;
        EXPECT_EQ(text->text(1, 3), value.mid(1, 2)) << control;
        EXPECT_EQ(spoken->editableTextInterface(), nullptr) << control;
    }
    EXPECT_EQ(names.size(), 52u);
}

// The buttons are heard by their captions with their shortcuts, also where a platform takes a
// button's key from its accelerator text (UI Automation) rather than from its Press action
// (AT-SPI), and pressing through the interface presses them.
TEST_F(WindowLayoutTest, ButtonsAreNamedByTheirCaptionsAndTellTheirShortcuts) {
    const struct {
        const char* button;
        const char* name;
        QKeySequence shortcut;
    } rows[] = {{"cmdOpen", "Open", QKeySequence::Open}, {"cmdSave", "Save", QKeySequence::Save}};
    for (const auto& row : rows) {
        QAccessibleInterface* spoken = QAccessible::queryAccessibleInterface(button(row.button));
        ASSERT_NE(spoken, nullptr) << row.button;
        const QString key = row.shortcut.toString(QKeySequence::NativeText);
        EXPECT_FALSE(key.isEmpty()) << row.button;
        EXPECT_EQ(spoken->role(), QAccessible::Button) << row.button;
        EXPECT_EQ(spoken->text(QAccessible::Name), row.name) << row.button;
        EXPECT_EQ(spoken->text(QAccessible::Accelerator), key) << row.button;
        QAccessibleActionInterface* actions = spoken->actionInterface();
        ASSERT_NE(actions, nullptr) << row.button;
        EXPECT_EQ(actions->keyBindingsForAction(QAccessibleActionInterface::pressAction()),
                  QStringList{key})
            << row.button;
    }
    dialogs.willCancel();
    QAccessible::queryAccessibleInterface(button("cmdOpen"))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(QTest::qWaitFor([this] { return dialogs.requests.size() == 1; }))
        << "Press through the interface opens the dialog";
}

// The drop-down list opens and closes through the interface, as by a click, and the entry's
// characters lie where the list draws them.
TEST_F(WindowLayoutTest, ListsOpenThroughTheirInterfaceAndPlaceTheirText) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QComboBox* species = list("G8P4");
    species->setCurrentIndex(405);
    QAccessibleInterface* spoken = Spoken(species);
    EXPECT_TRUE(spoken->state().expandable);
    EXPECT_TRUE(spoken->state().focusable);
    EXPECT_FALSE(spoken->state().expanded);
    EXPECT_FALSE(spoken->state().editable);

    QAccessibleActionInterface* actions = spoken->actionInterface();
    ASSERT_NE(actions, nullptr);
    EXPECT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::showMenuAction()));
    EXPECT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    actions->doAction(QAccessibleActionInterface::showMenuAction());
    EXPECT_TRUE(species->view()->isVisible());
    EXPECT_TRUE(spoken->state().expanded);
    // The open list is the one child, and knows the list as its parent.
    ASSERT_EQ(spoken->childCount(), 1);
    QAccessibleInterface* popup = spoken->child(0);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->object(), static_cast<QObject*>(species->view()));
    EXPECT_EQ(spoken->indexOfChild(popup), 0);
    EXPECT_EQ(popup->parent(), spoken);
    actions->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_FALSE(species->view()->isVisible());
    EXPECT_FALSE(spoken->state().expanded);

    QAccessibleTextInterface* text = spoken->textInterface();
    ASSERT_NE(text, nullptr);
    const QRect onScreen(species->mapToGlobal(QPoint(0, 0)), species->size());
    const int count = text->characterCount();
    ASSERT_GT(count, 2);
    for (int offset = 0; offset < count; ++offset) {
        const QRect character = text->characterRect(offset);
        EXPECT_TRUE(onScreen.contains(character)) << offset;
        EXPECT_EQ(text->offsetAtPoint(character.center()), offset) << offset;
    }
    EXPECT_TRUE(text->characterRect(count).isNull());
    EXPECT_TRUE(text->characterRect(-1).isNull());
    EXPECT_EQ(text->offsetAtPoint(onScreen.topLeft() - QPoint(1, 1)), -1);
}

// What assistive technology is told as the window changes, recorded in place of the platform's
// bridge to it. Qt tells nothing unless a bridge is listening.
class AccessibilityEvents {
  public:
    struct Event {
        QAccessible::Event type;
        const QObject* object;
        QString value;    // of a value change
        QString removed;  // of a text change
        QString inserted; // of a text change
        QString item;     // of a change of focus: the name of what has it
        bool focused;     // of a change of focus: whether what has it says so
    };

    AccessibilityEvents() {
        recorded().clear();
        previous_ = QAccessible::installUpdateHandler(&Record);
    }
    ~AccessibilityEvents() { QAccessible::installUpdateHandler(previous_); }
    AccessibilityEvents(const AccessibilityEvents&) = delete;
    AccessibilityEvents& operator=(const AccessibilityEvents&) = delete;

    // Whether a bridge listens. Qt's offscreen platform has none; elsewhere the bridge may take a
    // moment to reach the accessibility bus.
    static bool Listened() {
        if (QAccessible::isActive()) {
            return true;
        }
        return QGuiApplication::platformName() != QLatin1String("offscreen") &&
               QTest::qWaitFor([] { return QAccessible::isActive(); }, 10000);
    }

    void clear() { recorded().clear(); }
    [[nodiscard]] std::vector<Event> of(const QObject* object, QAccessible::Event type) const {
        std::vector<Event> found;
        for (const Event& each : recorded()) {
            if (each.object == object && each.type == type) {
                found.push_back(each);
            }
        }
        return found;
    }

  private:
    static std::vector<Event>& recorded() {
        static std::vector<Event> events;
        return events;
    }
    static void Record(QAccessibleEvent* event) {
        Event kept{event->type(), event->object(), {}, {}, {}, {}, false};
        if (event->type() == QAccessible::ValueChanged) {
            kept.value = static_cast<QAccessibleValueChangeEvent*>(event)->value().toString();
        } else if (event->type() == QAccessible::TextUpdated) {
            const auto* update = static_cast<QAccessibleTextUpdateEvent*>(event);
            kept.removed = update->textRemoved();
            kept.inserted = update->textInserted();
        } else if (event->type() == QAccessible::Focus) {
            // An item of a list has no object of its own: it is kept under its list's.
            const QAccessibleInterface* focused = event->accessibleInterface();
            if (focused == nullptr) {
                return;
            }
            if (focused->object() == nullptr && focused->parent() != nullptr) {
                kept.object = focused->parent()->object();
            }
            kept.item = focused->text(QAccessible::Name);
            kept.focused = focused->state().focused;
        }
        recorded().push_back(kept);
    }

    QAccessible::UpdateHandler previous_ = nullptr;
};

// A new entry, loaded or picked, is announced as the list's value and as its text. A screen
// reader speaks an entry picked by key in a closed list when it is pointed at the entry as the
// item of the drop-down list: as the list's one selected item where Qt can tell of a selection
// (6.5 on), as the item with the focus before; opening the list points it at its current item.
// CTest runs this on the accessibility bus (Accessibility.Announcements).
TEST_F(WindowLayoutTest, ListsAnnounceNewEntriesAndTheirDropDown) {
    if (!AccessibilityEvents::Listened()) {
        GTEST_SKIP() << "no bridge to assistive technology is active on the "
                     << QGuiApplication::platformName().toStdString()
                     << " platform, so Qt announces nothing";
    }
    // A window made while a bridge listens: Qt tells it of each list as the list is being made,
    // while it is not yet a list of ours.
    {
        StandInDialogs noDialogs;
        const MainWindow made(noDialogs);
        auto* fresh = made.findChild<QComboBox*>(QStringLiteral("G8P4"));
        ASSERT_NE(fresh, nullptr);
        EXPECT_EQ(Spoken(fresh)->text(QAccessible::Name), "Gym 8, member 4, species");
        EXPECT_NE(Spoken(fresh)->textInterface(), nullptr);
    }
    AccessibilityEvents events;
    const std::string image = dir.file("image.nds");
    MakeRosterImage(image);
    dialogs.willChoose(QString::fromStdString(image));
    ASSERT_TRUE(press("cmdOpen").empty());

    QComboBox* species = list("G8P4");
    const auto expectAnnounced = [&](const char* what, const QString& before) {
        const QString now = species->currentText();
        ASSERT_NE(now, before) << what;
        // Qt's combo box announces its value itself.
        const auto values = events.of(species, QAccessible::ValueChanged);
        ASSERT_FALSE(values.empty()) << what;
        EXPECT_EQ(values.back().value, now) << what;
        const auto texts = events.of(species, QAccessible::TextUpdated);
        ASSERT_EQ(texts.size(), 1u) << what;
        EXPECT_EQ(texts.front().removed, before) << what;
        EXPECT_EQ(texts.front().inserted, now) << what;
        EXPECT_EQ(Spoken(species)->text(QAccessible::Name), "Gym 8, member 4, species") << what;
    };
    // Where the screen reader learns the entry of a closed list; the load points it nowhere.
    const auto expectHeardAsItem = [&](const char* what, [[maybe_unused]] bool byKey) {
        const auto focus = events.of(species->view(), QAccessible::Focus);
#if QT_VERSION >= QT_VERSION_CHECK(6, 5, 0)
        EXPECT_TRUE(focus.empty()) << what << ": a closed list's item took the focus";
        QAccessibleSelectionInterface* selection = Spoken(species)->selectionInterface();
        ASSERT_NE(selection, nullptr) << what;
        ASSERT_EQ(selection->selectedItemCount(), 1) << what;
        EXPECT_EQ(selection->selectedItem(0)->text(QAccessible::Name), species->currentText())
            << what;
        EXPECT_TRUE(selection->isSelected(selection->selectedItem(0))) << what;
#else
        if (!byKey) {
            EXPECT_TRUE(focus.empty()) << what << ": a load moved the focus";
            return;
        }
        ASSERT_FALSE(focus.empty()) << what;
        EXPECT_EQ(focus.back().item, species->currentText()) << what;
        EXPECT_TRUE(focus.back().focused) << what;
#endif
    };
    expectAnnounced("load", QString());
    expectHeardAsItem("load", false);

    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    species->setFocus();
    const std::pair<const char*, Qt::Key> keys[] = {{"Down", Qt::Key_Down},
                                                    {"Page Up", Qt::Key_PageUp},
                                                    {"End", Qt::Key_End},
                                                    {"Home", Qt::Key_Home},
                                                    {"typed letter", Qt::Key_L}};
    for (const auto& [what, key] : keys) {
        const QString before = species->currentText();
        events.clear();
        QTest::keyClick(species, key);
        expectAnnounced(what, before);
        expectHeardAsItem(what, true);
    }
    // The same entry again is no news.
    events.clear();
    species->setCurrentIndex(species->currentIndex());
    EXPECT_TRUE(events.of(species, QAccessible::TextUpdated).empty());

    // Opened, the list has the focus and the screen reader is pointed at the current item, once
    // Qt has told it that the list has the focus.
    const auto expectOpenedOn = [&](const char* what, bool itemFollows) {
        events.clear();
        species->showPopup();
        ASSERT_TRUE(QTest::qWaitFor([&] { return species->view()->hasFocus(); })) << what;
        QCoreApplication::processEvents();
        const auto focus = events.of(species->view(), QAccessible::Focus);
        ASSERT_FALSE(focus.empty()) << what;
        EXPECT_EQ(focus.back().item, itemFollows ? species->currentText() : QString()) << what;
        species->hidePopup();
        ASSERT_TRUE(QTest::qWaitFor([&] { return species->hasFocus(); })) << what;
    };
    expectOpenedOn("opened after a key", QT_VERSION >= QT_VERSION_CHECK(6, 5, 0));
    expectOpenedOn("opened again", true);
}

struct FitCase {
    const char* what;
    QSize room;
    QSize client;
    bool across;
    bool down;
};

TEST(ScreenFit, CutsOnlyWhatTheFreeAreaCannotHold) {
    const QSize designed(457, 769);
    const int bar = 15;
    const FitCase cases[] = {
        {"roomy", {1904, 1016}, designed, false, false},
        {"exactly", designed, designed, false, false},
        {"a pixel short", {472, 768}, {472, 768}, false, true},
        {"a pixel short, no room for the bar", {457, 768}, {457, 768}, true, true},
        {"laptop with panel", {1264, 632}, {472, 632}, false, true},
        {"no room for the bar", {470, 600}, {470, 600}, true, true},
        {"narrow", {400, 900}, {400, 784}, true, false},
        {"narrow, no room for the bar", {400, 780}, {400, 780}, true, true},
        {"unknown screen", {0, 0}, designed, false, false},
    };
    for (const FitCase& each : cases) {
        const ScreenFit fit = FitOnScreen(designed, each.room, bar);
        EXPECT_EQ(fit.client, each.client) << each.what;
        EXPECT_EQ(fit.scrollsAcross, each.across) << each.what;
        EXPECT_EQ(fit.scrollsDown, each.down) << each.what;
    }
}

TEST(ScreenFit, KeepsTheLastDevicePixelOnTheScreen) {
    struct Case {
        const char* what;
        int start, length, end;
        qreal ratio;
        int kept;
    };
    const Case cases[] = {
        {"whole pixels", 29, 451, 480, 1.0, 451},
        {"150 %, from the screen's edge", 0, 720, 720, 1.5, 720},
        {"150 %, both rounded up", 29, 451, 480, 1.5, 450},
        {"150 %, under a title bar of even height", 30, 450, 480, 1.5, 450},
        {"150 %, above a taskbar", 31, 657, 688, 1.5, 656},
        {"125 %", 25, 589, 614, 1.25, 589},
    };
    for (const Case& each : cases) {
        const int kept = LengthWithin(each.start, each.length, each.end, each.ratio);
        EXPECT_EQ(kept, each.kept) << each.what;
        EXPECT_LE(qRound(each.start * each.ratio) + qRound(kept * each.ratio),
                  qRound(each.end * each.ratio))
            << each.what;
    }
}

// Whatever screen the suite runs on. CTest runs this case once more on each of the screens in
// tests/ui/screens: a large one, what a 48-pixel panel leaves of a 1280 x 720 laptop, and
// 1920 x 1080 at 150 %; and on the laptop and the large screen with a person's font of 14 and
// 18 pt, which grows the window.
TEST_F(WindowLayoutTest, OnItsScreenEveryFieldCanBeSeenChangedAndSaved) {
    const std::string image = dir.file("image.nds");
    MakeRosterImage(image);
    const std::string expected = dir.file("expected.nds");
    MakeRosterImage(expected);
    dialogs.willChoose(QString::fromStdString(image));
    ASSERT_TRUE(press("cmdOpen").empty());

    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const QRect free = window.screen()->availableGeometry();
    auto* view = window.findChild<QScrollArea*>();
    ASSERT_NE(view, nullptr);
    const QSize designed = view->widget()->size();
    const QPoint lastPlace = list("G8P4")->mapTo(view->widget(), QPoint(0, 0));
    if (FontRatio(QApplication::font()) <= 1) {
        EXPECT_EQ(designed, QSize(457, 769));
        EXPECT_EQ(lastPlace, QPoint(296, 672));
    }
    EXPECT_TRUE(free.contains(window.frameGeometry()))
        << "free area " << free.width() << "x" << free.height() << ", window "
        << window.frameGeometry().width() << "x" << window.frameGeometry().height();
    // A scroll bar shows exactly where the content is cut, and nothing is cut on a screen that
    // holds the window.
    const QSize shown = view->viewport()->size();
    EXPECT_EQ(view->horizontalScrollBar()->isVisible(), shown.width() < designed.width());
    EXPECT_EQ(view->verticalScrollBar()->isVisible(), shown.height() < designed.height());
    const bool fits = shown == designed;
    if (fits) {
        EXPECT_EQ(window.size(), designed);
    } else {
        EXPECT_LT(window.height() * window.width(), designed.height() * designed.width());
    }

    QWidget* focused = button("cmdOpen");
    focused->setFocus();
    std::vector<QString> visited;
    for (int stop = 0; stop < 54; ++stop) {
        ASSERT_EQ(QApplication::focusWidget(), focused);
        visited.push_back(focused->objectName());
        const QRect place(focused->mapTo(view->viewport(), QPoint(0, 0)), focused->size());
        EXPECT_TRUE(view->viewport()->rect().contains(place))
            << focused->objectName().toStdString() << " at " << place.y() << " in "
            << view->viewport()->height();
        if (stop < 53) {
            QTest::keyClick(focused, Qt::Key_Tab);
            focused = QApplication::focusWidget();
        }
    }
    ASSERT_EQ(visited.back(), "G8P4");
    EXPECT_EQ(std::set<QString>(visited.begin(), visited.end()).size(), 54u);
    // Focus that comes other than by Tab, such as by a click, brings its field into view too.
    button("cmdOpen")->setFocus();
    view->verticalScrollBar()->setValue(0);
    list("G8P4")->setFocus();
    const QRect clicked(list("G8P4")->mapTo(view->viewport(), QPoint(0, 0)), list("G8P4")->size());
    EXPECT_TRUE(view->viewport()->rect().contains(clicked)) << clicked.y();

    // The wheel over a list without the focus scrolls the view where it scrolls, and never
    // changes the list; over the focused list it changes the list.
    QComboBox* top = list("g11");
    const int topBefore = top->currentIndex();
    view->verticalScrollBar()->setValue(0);
    QWheelEvent wheel(QPointF(5, 5), top->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(top, &wheel);
    EXPECT_EQ(top->currentIndex(), topBefore);
    if (view->verticalScrollBar()->isVisible()) {
        EXPECT_GT(view->verticalScrollBar()->value(), 0);
    } else {
        EXPECT_EQ(view->verticalScrollBar()->value(), 0);
    }

    // A change made by keys at the last stop reaches exactly its two bytes.
    QComboBox* last = list("G8P4");
    const int loaded = last->currentIndex();
    ASSERT_GT(loaded, 0);
    QTest::keyClick(last, Qt::Key_Down);
    const int chosen = last->currentIndex();
    ASSERT_EQ(chosen, loaded + 1);
    StoreField(expected, 0x1C300A4, static_cast<std::uint16_t>(chosen));
    EXPECT_TRUE(typeShortcut(Qt::Key_S).empty());
    EXPECT_TRUE(DifferingOffsets(expected, image).empty());

    // Made smaller or larger by the user, the window moves no control: where it fits, the view
    // keeps the designed size in the window's corner; where it is cut, the view fills it.
    for (const QSize size : {designed - QSize(100, 100), designed + QSize(100, 100)}) {
        view->verticalScrollBar()->setValue(0);
        view->horizontalScrollBar()->setValue(0);
        window.resize(size);
        EXPECT_EQ(list("G8P4")->mapTo(&window, QPoint(0, 0)), lastPlace) << size.width();
        EXPECT_EQ(view->geometry(), fits ? QRect(QPoint(), designed) : window.rect())
            << size.width();
    }
}

TEST_F(WindowLayoutTest, KeysAloneChangeAListAndPressOpen) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    QComboBox* level = list("g11");
    level->setFocus();
    QTest::keyClick(level, Qt::Key_Down);
    QTest::keyClick(level, Qt::Key_Down);
    EXPECT_EQ(level->currentIndex(), 1);
    QTest::keyClick(level, Qt::Key_End);
    EXPECT_EQ(level->currentText(), "100");

    // Typing a name's first letters finds it in a species list.
    QComboBox* species = list("G1P1");
    species->setFocus();
    QTest::keyClicks(species, QStringLiteral("Arc"));
    EXPECT_EQ(species->currentText(), "Arcanine");

    dialogs.willCancel();
    EXPECT_TRUE(typeShortcut(Qt::Key_O).empty());
    EXPECT_EQ(dialogs.requests.size(), 1u);

    // Space and Enter press the focused button; Enter held down presses it once, and with a
    // modifier it is not the button's.
    QPushButton* open = button("cmdOpen");
    open->setFocus();
    const std::tuple<Qt::Key, Qt::KeyboardModifiers, bool, std::size_t> keys[] = {
        {Qt::Key_Space, Qt::NoModifier, false, 1},
        {Qt::Key_Return, Qt::NoModifier, false, 1},
        {Qt::Key_Enter, Qt::KeypadModifier, false, 1},
        {Qt::Key_Return, Qt::NoModifier, true, 0},
        {Qt::Key_Return, Qt::ControlModifier, false, 0}};
    for (const auto& [key, modifiers, repeated, presses] : keys) {
        const std::size_t before = dialogs.requests.size();
        if (repeated) {
            QKeyEvent held(QEvent::KeyPress, key, modifiers, QString(), true);
            QApplication::sendEvent(open, &held);
        } else {
            QTest::keyClick(open, key, modifiers);
        }
        EXPECT_EQ(dialogs.requests.size(), before + presses) << key << " " << modifiers;
    }
}

} // namespace
} // namespace kelvarin::testing
