// The About window's drag-to-move state: which presses start a drag, what is stored, how
// the window follows the pointer, and what ends the drag.
#include "about/drag_state.h"
#include "platform/errors.h"

#include <QTest>

using namespace about;

namespace {

enum class Kind {
    Down,
    Move,
    Up
};

// One mouse event on the window's background; the pointer's place is on the screen, in twips.
struct Step {
    Kind kind;
    int button;
    float pointerX;
    float pointerY;
};

Step down(int button, float x, float y)
{
    return {Kind::Down, button, x, y};
}
Step move(float x, float y)
{
    return {Kind::Move, 0, x, y};
}
Step up(int button, float x, float y)
{
    return {Kind::Up, button, x, y};
}

} // namespace

Q_DECLARE_METATYPE(QList<Step>)

class TestDragState : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sequences_data();
    void sequences();
    void pressStoresRoundedPoint_data();
    void pressStoresRoundedPoint();
    void pressOutsideSixteenBitsOverflows_data();
    void pressOutsideSixteenBitsOverflows();
    void moveArithmetic_data();
    void moveArithmetic();
};

void TestDragState::sequences_data()
{
    // The window starts with its client area's top-left at 3000, 3000 on the screen; each
    // event's X and Y are the pointer's place less the window's place at that moment.
    QTest::addColumn<QList<Step>>("steps");
    QTest::addColumn<QPointF>("window");
    QTest::addColumn<int>("flag");

    QTest::newRow("left drag follows the pointer")
        << QList<Step>{down(LeftButton, 3150, 3150), move(3450, 3300), move(3300, 3600)}
        << QPointF(3150, 3450) << 1;
    QTest::newRow("right press does not start a drag")
        << QList<Step>{down(RightButton, 3150, 3150), move(3450, 3300)} << QPointF(3000, 3000) << 0;
    QTest::newRow("middle press does not start a drag")
        << QList<Step>{down(MiddleButton, 3150, 3150), move(3450, 3300)} << QPointF(3000, 3000)
        << 0;
    QTest::newRow("move without press does nothing")
        << QList<Step>{move(3450, 3300), move(3100, 3100)} << QPointF(3000, 3000) << 0;
    QTest::newRow("left release ends the drag")
        << QList<Step>{down(LeftButton, 3150, 3150), move(3300, 3300), up(LeftButton, 3300, 3300),
                       move(3600, 3600)}
        << QPointF(3150, 3150) << 0;
    QTest::newRow("right release ends the drag while left is held")
        << QList<Step>{down(LeftButton, 3150, 3150), move(3300, 3300),
                       down(RightButton, 3300, 3300), up(RightButton, 3300, 3300), move(3600, 3600)}
        << QPointF(3150, 3150) << 0;
    QTest::newRow("middle release ends the drag while left is held")
        << QList<Step>{down(LeftButton, 3150, 3150), down(MiddleButton, 3150, 3150),
                       up(MiddleButton, 3150, 3150), move(3600, 3600)}
        << QPointF(3000, 3000) << 0;
    // The pointer went on without a move event before the right press: the window follows
    // from the newly stored point (30 twips on), not from the first one (a jump of 105, 60).
    QTest::newRow("right press during a left drag goes on from the new point")
        << QList<Step>{down(LeftButton, 3150, 3150), move(3300, 3300),
                       down(RightButton, 3375, 3330), move(3405, 3360)}
        << QPointF(3180, 3180) << 1;
    QTest::newRow("middle press during a left drag goes on from the new point")
        << QList<Step>{down(LeftButton, 3150, 3150), down(MiddleButton, 3165, 3195),
                       move(3180, 3225)}
        << QPointF(3015, 3030) << 1;
    QTest::newRow("a new left press after the end starts again")
        << QList<Step>{down(LeftButton, 3150, 3150), up(LeftButton, 3150, 3150),
                       down(LeftButton, 3300, 3150), move(3330, 3120)}
        << QPointF(3030, 2970) << 1;
    QTest::newRow("drag off the left and top edges")
        << QList<Step>{down(LeftButton, 3150, 3150), move(-300, -150)} << QPointF(-450, -300) << 1;
}

void TestDragState::sequences()
{
    QFETCH(QList<Step>, steps);
    QFETCH(QPointF, window);
    QFETCH(int, flag);

    DragState state;
    float left = 3000;
    float top = 3000;
    for (const Step& step : steps) {
        const float x = step.pointerX - left;
        const float y = step.pointerY - top;
        switch (step.kind) {
        case Kind::Down:
            state.Form_MouseDown(step.button, x, y);
            break;
        case Kind::Move:
            if (const auto to = state.Form_MouseMove(left, top, x, y)) {
                left = float(to->x());
                top = float(to->y());
            }
            break;
        case Kind::Up:
            state.Form_MouseUp();
            break;
        }
    }
    QCOMPARE(QPointF(left, top), window);
    QCOMPARE(int(state.drag_flag), flag);
}

void TestDragState::pressStoresRoundedPoint_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("y");
    QTest::addColumn<int>("storedX");
    QTest::addColumn<int>("storedY");

    QTest::newRow("whole twips") << LeftButton << 150.0f << 1095.0f << 150 << 1095;
    QTest::newRow("halves go to even, down") << LeftButton << 0.5f << 2.5f << 0 << 2;
    QTest::newRow("halves go to even, up") << RightButton << 1.5f << 3763.5f << 2 << 3764;
    QTest::newRow("negative halves go to even") << MiddleButton << -0.5f << -1.5f << 0 << -2;
    QTest::newRow("below a half goes down") << LeftButton << 149.49f << 7.25f << 149 << 7;
    QTest::newRow("above a half goes up") << LeftButton << 149.51f << 7.75f << 150 << 8;
    QTest::newRow("largest field value")
        << RightButton << 32767.49f << -32768.5f << 32767 << -32768;
}

void TestDragState::pressStoresRoundedPoint()
{
    QFETCH(int, button);
    QFETCH(float, x);
    QFETCH(float, y);
    QFETCH(int, storedX);
    QFETCH(int, storedY);

    DragState state;
    state.Form_MouseDown(button, x, y);
    QCOMPARE(int(state.drag_init_x), storedX);
    QCOMPARE(int(state.drag_init_y), storedY);
    QCOMPARE(int(state.drag_flag), button == LeftButton ? 1 : 0);
}

void TestDragState::pressOutsideSixteenBitsOverflows_data()
{
    QTest::addColumn<float>("x");
    QTest::addColumn<float>("y");
    QTest::newRow("x half above the top") << 32767.5f << 0.0f;
    QTest::newRow("y below the bottom") << 0.0f << -32769.0f;
}

void TestDragState::pressOutsideSixteenBitsOverflows()
{
    QFETCH(float, x);
    QFETCH(float, y);
    DragState state;
    try {
        state.Form_MouseDown(LeftButton, x, y);
        QFAIL("no error raised");
    } catch (const platform::Error& e) {
        QCOMPARE(e.number(), int(platform::Overflow));
    }
}

void TestDragState::moveArithmetic_data()
{
    QTest::addColumn<float>("left");
    QTest::addColumn<float>("x");
    QTest::addColumn<int>("stored");
    QTest::addColumn<float>("expected");

    QTest::newRow("ordinary") << 2790.0f << 300.0f << 150 << 2940.0f;
    QTest::newRow("to the left of the screen") << 0.0f << 0.0f << 150 << -150.0f;
    QTest::newRow("fraction of a twip kept") << 2790.0f << 150.25f << 150 << 2790.25f;
    // In single precision 16777216 + 1 is 16777216 again, and less 1 gives 16777215.
    QTest::newRow("sum first, in double") << 16777216.0f << 1.0f << 1 << 16777216.0f;
    // 16777219 has no single-precision value: the result is rounded at the end.
    QTest::newRow("rounded to single at the end") << 16777216.0f << 3.0f << 0 << 16777220.0f;
}

void TestDragState::moveArithmetic()
{
    QFETCH(float, left);
    QFETCH(float, x);
    QFETCH(int, stored);
    QFETCH(float, expected);

    DragState state;
    state.drag_flag = 1;
    state.drag_init_x = qint16(stored);
    state.drag_init_y = qint16(stored);
    const auto to = state.Form_MouseMove(left, left, x, x);
    QVERIFY(to.has_value());
    QCOMPARE(to->x(), double(expected));
    QCOMPARE(to->y(), double(expected));
}

QTEST_APPLESS_MAIN(TestDragState)
#include "tst_drag_state.moc"
