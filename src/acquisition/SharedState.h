#pragma once

#include <QString>
#include <array>
#include <cstdint>

// Program-wide state, one instance owned by the main window. Arrays are indexed by
// instrument address 1..8; index 0 is unused so code reads as the domain speaks.
struct SharedState {
    static constexpr int kInstruments = 8;
    template <typename T> using PerAddress = std::array<T, kInstruments + 1>;

    PerAddress<float> PresValue{};
    PerAddress<float> TempValue{};

    // Pens: width 1..5 and colour value 0x00BBGGRR (or 0x80000000 + index for a system colour).
    PerAddress<int32_t> LineWidthPress{};
    PerAddress<int32_t> LineColorPress{};
    PerAddress<int32_t> LineWidthTemp{};
    PerAddress<int32_t> LineColorTemp{};

    int32_t TempFull = 0; // temperature axis maximum is 40 * (TempFull + 1)
    int32_t PresY0 = 0;
    int32_t PresYn = 0;

    QString PortName; // kept whole: never cut to four characters
    int32_t BaudIndex = 3;

    bool PortBusy = false;    // a dialog owns the port; the cycle neither writes nor reads
    bool HistoryOpen = false; // the history window is open; the cycle records nothing

    int32_t PointCount = 0;     // points in each main-chart series since its last reset
    int32_t CurveTickCount = 0; // shared by all curve windows, never reset

    // Computed wide: a damaged TempFull must neither overflow nor give a maximum below 0.
    static double TempAxisMax(int32_t tempFull) {
        const int64_t max = (int64_t(tempFull) + 1) * 40;
        return double(max > 0 ? max : 0);
    }
};
