/*
 * ZQ0093.h - the interface of the ZQ0093 weather station plug-in.
 *
 * libZQ0093.so serves one family of USB weather stations to a host program:
 * it polls the station, paints the live display (five value panels with a
 * 72-hour graph each) into a surface the host hands over, and runs the
 * station's Setting, Alarm and Max/Min dialogs. It reaches the station only
 * through libstalink.so; the host never talks to the station for it.
 *
 * The interface is a set of plain C functions with undecorated names. Load
 * the library with dlopen() and look the functions up with dlsym(); do not
 * link against it.
 *
 * Platform types. The plug-in draws and runs its dialogs with Qt 6 Widgets,
 * the same Qt the host uses:
 *   - a window handle is a QWidget*,
 *   - a device context is a QPainter* that is active (begun) on the surface
 *     to draw on: a QImage, or a widget inside its paint event,
 *   - the host's resource module is a ZQ0093HostModule*, the host's string
 *     lookup (below).
 * A QApplication must exist before any function is called; without one the
 * functions draw nothing and the dialogs do not open.
 *
 * Threads. Every function is called on the host's GUI thread. The plug-in
 * starts no threads and its state is process-wide: one process drives one
 * station.
 *
 * Calling order: InitVariant once with the display window, InitLanguage with
 * the resource module, then ReadMainRecord on a timer (every second),
 * DrawData with full = 1 whenever the host paints, the mouse functions on
 * mouse events, the Show functions on user request, DeviceRemoveDone when the
 * station has been unplugged, GetUnit after a poll to learn whether the units
 * changed.
 *
 * Pointers. Pointer arguments may be null where a function says so; a null
 * device context draws nothing, a null unit set or module is ignored.
 */
#ifndef ZQ0093_H
#define ZQ0093_H

#include <stdint.h>

#ifdef __cplusplus
class QWidget;
class QPainter;
extern "C" {
#else
typedef struct QWidget QWidget;
typedef struct QPainter QPainter;
#endif

/* The plug-in's display units. Every text, graph value and axis limit of the
 * display and the dialogs is in these units. */
typedef struct PluginUnitSet {
    int32_t Temperature; /* 1 = degrees Celsius; any other value = degrees Fahrenheit */
    int32_t Pressure;    /* 0 = hPa, 1 = inHg, 2 = mmHg; other values as 0 */
    int32_t Wind; /* 0 = m/s, 1 = km/h, 2 = mph, 3 = knots, 4 = Beaufort; other values as 0 */
    int32_t Rain; /* 0 = mm, 1 = in; other values as 0 */
} PluginUnitSet;

/* Width and height of the display area, in pixels. */
typedef struct ZQ0093Size {
    int32_t Width;
    int32_t Height;
} ZQ0093Size;

/* The host's string lookup, which stands for its resource module.
 *
 * LoadText copies the UTF-8 text of the host's string `id` into `buffer`
 * (`size` bytes, `size` > 0), truncated if need be and always ending in a NUL
 * byte, and returns the length of the whole text in bytes without the NUL.
 * It returns 0 or less when the host has no text for `id`. When the result
 * is `size` or more the plug-in asks again with a larger buffer. `context`
 * is passed back unchanged. The plug-in calls it only during InitLanguage
 * and the Show functions, on the GUI thread, and keeps neither the struct
 * nor the context afterwards.
 *
 * The ids are the host's string ids (see the list below). */
typedef struct ZQ0093HostModule {
    void* Context;
    int (*LoadText)(void* context, int id, char* buffer, int size);
} ZQ0093HostModule;

/* Dialog end codes. */
#define ZQ0093_IDOK 1
#define ZQ0093_IDCANCEL 2

/* Creates and places the panels and graphs of the display for `window`, the
 * host's display window (which parents the dialogs; may be null), with the
 * rain pair hidden, and fills them from what the plug-in holds. A second call
 * replaces the display. Returns the display area's size, 1170 x 690. */
ZQ0093Size InitVariant(QWidget* window);

/* Copies the captions, row labels and graph series names from the host's
 * strings. The host repaints afterwards. `module` may be null (no texts). */
void InitLanguage(const ZQ0093HostModule* module);

/* One poll of the station: reads its settings and current reading, and the
 * 72-hour series when they are due, then draws the whole display on `dc`.
 * When `units` is not null the plug-in's unit set is copied into it after
 * the settings were read. Returns 0, also when the station could not be read
 * (nothing is drawn then and the display keeps what it showed), and 1 when
 * the station started or stopped reporting rain: the display was laid out
 * again and nothing drawn, so the host must repaint all of it. `dc` may be
 * null. */
int ReadMainRecord(QPainter* dc, PluginUnitSet* units);

/* Draws the panels Temperature, Humidity, Wind, Pressure, then their graphs,
 * then, when the station reports rain, the rain panel and graph, on `dc` in
 * display coordinates. With `full` nonzero everything is drawn; otherwise
 * only what changed since it was last drawn. The background between the
 * items is the host's. Does nothing before InitVariant or with a null `dc`. */
void DrawData(QPainter* dc, int full);

/* Whether (x, y), in display coordinates, lies on a legend entry that a click
 * would toggle: 1 if so (show the hand cursor), else 0. `flags` is ignored.
 * OnLButtonUp is the same function. */
int OnMouseMove(uint32_t flags, int x, int y);
int OnLButtonUp(uint32_t flags, int x, int y);

/* A left-button press at (x, y): the graph whose legend entry is there shows
 * or hides that series and is redrawn in full on `dc` (may be null). Returns
 * 1 when a legend entry was hit, else 0 (and draws nothing). `flags` is
 * ignored. */
int OnLButtonDown(uint32_t flags, int x, int y, QPainter* dc);

/* The station has been unplugged: the display forgets it (every panel row
 * hidden, every series absent, the rain pair hidden). The host repaints. The
 * next successful ReadMainRecord brings the display back. */
void DeviceRemoveDone(void);

/* Returns 1 when `units` already equals the plug-in's unit set; otherwise
 * copies the plug-in's set into it and returns 0. A null `units` returns 0. */
int GetUnit(PluginUnitSet* units);

/* Replaces the plug-in's unit set, for the display only: the station is not
 * written, and the next ReadMainRecord takes the units from the station
 * again. The host repaints. A null `units` is ignored. */
void SetUnit(const PluginUnitSet* units);

/* The station's Setting, Alarm and Max/Min dialogs, run modally over the
 * window given to InitVariant. Each reads the station as it opens and writes
 * it on Save (Reset for the max/min values). Texts come from `module`, which
 * must stay valid for the call. `reserved` is kept with the dialog and not
 * used. Return the dialog's end code: ZQ0093_IDOK after a save, else
 * ZQ0093_IDCANCEL. */
int ShowSetting(const ZQ0093HostModule* module, int32_t reserved);
int ShowAlarm(const ZQ0093HostModule* module);
int ShowMaxMin(const ZQ0093HostModule* module);

/* Host string ids and the texts they carry (English):
 *   2000 Pressure, 2001 Absolute, 2002 Relative, 2003 Absolute Pressure,
 *   2004 Relative Pressure, 2007 Alarm Time, 2008 Second, 2009 Minute,
 *   2010 Hour, 2011 Day, 2012 Week, 2013 Month, 2015 Total, 2016 Time,
 *   2017 Date, 2018 Time And Week, 2019 Time Zone, 2024 Rainfall,
 *   2027 Rain Hour, 2028 Rain Day, 2030 Rain Week, 2031 Rain Month,
 *   2032 Rain Total, 2033 Indoor, 2035 Temperature, 2036 Humidity,
 *   2037 Indoor Humidity, 2038 Indoor Temperature, 2039 Outdoor Humidity,
 *   2040 Outdoor Temperature, 2041 Dew Point, 2042 Feels Like,
 *   2043 Channel %d, 2050 Wind, 2051 Gust, 2052 Wind Direction, 2054 User,
 *   2055 Max, 2056 Min, 2057 Daily Max/Min, 2058 Daily, 2063 Color Index,
 *   2065 Save, 2066 Cancel, 2067 Reset, 2068 High, 2069 Low, 2070 Unit,
 *   2071 Display, 2072 Graph, 2073 Graph Format, 2074 Time Format,
 *   2075 Date Format, 2076 Channel Circle, 2077 Backlight, 2078 Bright,
 *   2079 Color By, 2080 Lower, 2081 Upper, 2082 Forecast, 2083 Weather,
 *   2084 Storm, 2085 Time Radio, 2086 Daylight Saving, 2087 Buzzer,
 *   2088 Record Interval, 2089 Auto, 2090 Off, 2091 On, 2095 Clear failed!,
 *   2096 Data Range is %s to %s, 2099 Save failed!, 2100 Successfully clear!,
 *   2101 Successfully saved!, 2105 Exit, 2108 Setting, 2109 Alarm,
 *   2110 Max / Min, 2113 History,
 *   2125 The minimum temperature can not exceed the maximum temperature!
 */

#ifdef __cplusplus
}
#endif

#endif /* ZQ0093_H */
