// How the window tests and the benchmarks reach into the main window: its widgets by their
// object names, its rooms (each a child of the window) and what the rooms hold.
#pragma once

#include <QVTKOpenGLNativeWidget.h>

#include <QObject>
#include <QStandardItemModel>
#include <QString>
#include <QtGlobal>
#include <QtWidgets>

#include "acquisition/GetlidarData_1.h"
#include "app/live_session.h"
#include "app/manwindow.h"
#include "app/playback_room.h"
#include "app/view_room.h"
#include "device/GetSet.h"
#include "playback/ReadLiveOffData.h"

// A widget of a window by its object name; a name the window does not have ends the run.
template <class T>
T* named(const QObject& window, const char* name) {
    T* w = window.findChild<T*>(QString::fromLatin1(name));
    if (!w) qFatal("the window has no %s", name);
    return w;
}

// A room of the window; a room the window does not have ends the run.
template <class Room>
Room* roomOf(const QObject& window) {
    Room* r = window.findChild<Room*>();
    if (!r) qFatal("the window has no %s", Room::staticMetaObject.className());
    return r;
}

inline pcl::visualization::PCLVisualizer::Ptr viewerOf(const manwindow& w) {
    return roomOf<k740::ViewRoom>(w)->viewer();
}
inline QStandardItemModel* tableModelOf(const manwindow& w) { return roomOf<k740::ViewRoom>(w)->tableModel(); }
inline GetlidarData_1* receiverOf(const manwindow& w) { return roomOf<k740::LiveSession>(w)->receiver(); }
inline GetSet* statusReceiverOf(const manwindow& w) { return roomOf<k740::LiveSession>(w)->statusReceiver(); }
inline ReadLiveOffData* playerOf(const manwindow& w) { return roomOf<k740::PlaybackRoom>(w)->player(); }
