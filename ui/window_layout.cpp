#include "ui/window_layout.h"

#include <QWidget>

namespace kelvarin {

namespace {

constexpr bool kBound = true;
constexpr bool kUnbound = false;
constexpr MemberRows kNamedBySlots{};
constexpr MemberRows kGym6Lists{{{"Combo22", "G6P1"}, {"Combo21", "G6P2"}, {"Combo20", "G6P3"}}};

} // namespace

// n is the number of member rows; "slots" says whether the lists are tied to the roster's slots.
// clang-format off
const std::array<GymFrameLayout, 8> kGymFrames{{
//  gym frame     caption                 left  top   leader     width leader text                Lv         Pokemon    picture    n  slots     list names
    {1, "Stat",   "Gym 1 Oreburgh",       120,  840,  "Leader1", 1215, "Gym leader roak",         "Label1",  "Label2",  "Picture1", 3, kBound,   kNamedBySlots},
    {2, "Gym8",   "Gym 2 Eterna",         3600, 840,  "Label3",  2055, "Gym leader Gardenia",     "Label6",  "Label5",  "Picture2", 3, kBound,   kNamedBySlots},
    {3, "GYM3",   "Gym 3 Veilstone",      120,  3240, "Label19", 2055, "Gym leader Maylene",      "Label7",  "Label13", "Picture3", 3, kBound,   kNamedBySlots},
    {4, "Gym4",   "Gym 4 Pastoria",       3600, 3240, "Label20", 2055, "Gym leader Crasher Wake", "Label8",  "Label14", "Picture4", 3, kBound,   kNamedBySlots},
    {5, "Frame5", "Gym 5 Hearthome City", 120,  5640, "Label21", 2055, "Gym leader Fantina",      "Label9",  "Label15", "Picture5", 3, kBound,   kNamedBySlots},
    {6, "Frame1", "Gym 6 Canalave",       3600, 5640, "Label22", 2055, "Gym leader Byron",        "Label10", "Label16", "Picture6", 3, kUnbound, kGym6Lists},
    {7, "Frame8", "Gym 7 Snowpoint",      120,  8040, "Label23", 2055, "Gym leader Candice",      "Label11", "Label17", "Picture7", 4, kBound,   kNamedBySlots},
    {8, "Frame9", "Gym 8 Sunyshore",      3600, 8040, "Label24", 2055, "Gym leader Volkner",      "Label12", "Label18", "Picture8", 4, kBound,   kNamedBySlots},
}};
// clang-format on

MemberRow ListNames(const GymFrameLayout& gym, int row) {
    if (!gym.boundToRoster) {
        return gym.unboundRows.at(static_cast<std::size_t>(row));
    }
    const RosterSlot* level = FindSlot(gym.gym, row + 1, SlotKind::Level);
    const RosterSlot* species = FindSlot(gym.gym, row + 1, SlotKind::Species);
    return {level ? level->control : std::string_view(),
            species ? species->control : std::string_view()};
}

void PlacedControls::place(QWidget& control, const QRect& twips) {
    placed_.emplace_back(&control, twips);
    control.setGeometry(PixelRect(twips, scale_));
}

void PlacedControls::setScale(qreal scale) {
    scale_ = scale;
    for (const auto& [control, twips] : placed_) {
        control->setGeometry(PixelRect(twips, scale_));
    }
}

QString FieldName(int gym, int member, SlotKind kind) {
    return QStringLiteral("Gym %1, member %2, %3")
        .arg(gym)
        .arg(member)
        .arg(QLatin1String(SlotKindName(kind)));
}

} // namespace kelvarin
