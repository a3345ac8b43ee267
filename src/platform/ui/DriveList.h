#pragma once

#include <QByteArray>
#include <QComboBox>
#include <QList>
#include <QString>
#include <QStringList>

namespace quillory::ui {

// The drive list of the program's folder dialogs. Linux has no drive letters, so a "drive" is
// a place a user starts looking from: the root of the file system, the home folder, and the
// mounted volumes worth showing (USB sticks, discs, network shares, extra disks), each shown
// with a friendly name and its path. The list is re-read whenever it is opened, so a stick
// plugged in while a dialog is up appears without reopening the dialog.
class DriveList : public QComboBox {
    Q_OBJECT
    Q_PROPERTY(QString Drive READ drive WRITE setDrive NOTIFY driveChanged)

public:
    explicit DriveList(QWidget* parent = nullptr);

    // The root path of the chosen drive.
    QString drive() const { return m_drive; }

    // Chooses the drive that holds `path` (the listed drive with the longest root that is
    // `path` or one of its ancestors). A drive that cannot be read is not chosen: the previous
    // one stays, driveNotReady() is emitted and false returned. Choosing the drive already
    // chosen returns true and emits nothing.
    bool setDrive(const QString& path);

    // The root paths of the listed drives, in list order.
    QStringList drives() const;

    // Lists one more place as a drive (the program folder, say), shown as `name` or, when that
    // is empty, by the last part of its path. It survives refresh().
    void addDrive(const QString& path, const QString& name = {});

    // Re-reads the mounted volumes. When the chosen drive has gone (a stick was pulled out),
    // the drive that now holds its path is chosen and driveChanged() emitted.
    void refresh();

    // Whether a mounted volume is one a user would pick a file from: real disks, removable
    // media and network shares, but not kernel and memory file systems, snap images or
    // container layers, nor the system's own mounts under /boot, /var, /usr and the like.
    static bool isUserVolume(const QString& rootPath, const QByteArray& fileSystemType,
                             const QByteArray& device);

Q_SIGNALS:
    void driveChanged(const QString& path);
    // The user (or the program) chose a drive that cannot be read; the list kept the previous
    // one. The dialog decides how to tell the user.
    void driveNotReady(const QString& path);

protected:
    void showPopup() override;

private:
    enum class Kind { Root, Home, Volume, Network, Place };
    struct Entry {
        QString root;
        QString name;
        Kind kind = Kind::Volume;
        bool operator==(const Entry&) const = default;
    };

    QList<Entry> readEntries() const;
    void fill(const QList<Entry>& entries);
    int indexOfRoot(const QString& root) const;
    int indexForPath(const QString& path) const;
    bool choose(int index);
    void onActivated(int index);

    QList<Entry> m_entries;
    QList<Entry> m_places;
    QString m_drive;
};

} // namespace quillory::ui
