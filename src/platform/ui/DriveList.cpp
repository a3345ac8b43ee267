#include "platform/ui/DriveList.h"

#include "platform/ui/FileSystemLists.h"

#include <algorithm>
#include <array>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QStyle>

namespace quillory::ui {

namespace {

constexpr int RootRole = Qt::UserRole;

bool isInside(const QString& path, const QString& folder) {
    if (folder == QLatin1String("/"))
        return path.startsWith(QLatin1Char('/'));
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

bool isInsideAny(const QString& path, const auto& folders) {
    return std::any_of(std::begin(folders), std::end(folders),
                       [&](const auto& folder) { return isInside(path, QLatin1String(folder)); });
}

bool isNetworkType(const QByteArray& type) {
    static constexpr std::array types{"nfs",        "nfs4",        "cifs",  "smb3",       "smbfs",
                                      "fuse.sshfs", "fuse.rclone", "davfs", "fuse.davfs2"};
    return std::find(types.begin(), types.end(), type) != types.end();
}

} // namespace

bool DriveList::isUserVolume(const QString& rootPath, const QByteArray& fileSystemType,
                             const QByteArray& device) {
    if (!rootPath.startsWith(QLatin1Char('/')))
        return false;

    // Kernel interfaces, memory file systems and container layers hold nothing of the user's.
    static constexpr std::array pseudoTypes{"proc",        "sysfs",      "devtmpfs",
                                            "devpts",      "tmpfs",      "ramfs",
                                            "cgroup",      "cgroup2",    "securityfs",
                                            "pstore",      "bpf",        "debugfs",
                                            "tracefs",     "configfs",   "fusectl",
                                            "mqueue",      "hugetlbfs",  "autofs",
                                            "binfmt_misc", "efivarfs",   "nsfs",
                                            "rpc_pipefs",  "overlay",    "aufs",
                                            "selinuxfs",   "nfsd",       "fuse.gvfsd-fuse",
                                            "fuse.portal", "fuse.lxcfs", "fuse.snapfuse",
                                            "none",        "devfs"};
    if (std::find(pseudoTypes.begin(), pseudoTypes.end(), fileSystemType) != pseudoTypes.end())
        return false;

    // Where the desktop and the user mount sticks, discs and shares.
    static constexpr std::array removablePlaces{"/media", "/mnt", "/run/media"};
    if (isInsideAny(rootPath, removablePlaces))
        return true;

    // The system's own mounts (boot partitions, package images, bind-mounted files).
    static constexpr std::array systemPlaces{"/proc", "/sys",  "/dev",   "/run", "/boot",
                                             "/efi",  "/snap", "/var",   "/usr", "/tmp",
                                             "/etc",  "/lib",  "/lib64", "/bin", "/sbin"};
    if (isInsideAny(rootPath, systemPlaces))
        return false;

    // Snap packages and other read-only images mounted from loop devices.
    if (fileSystemType == "squashfs" || device.startsWith("/dev/loop"))
        return false;
    return true;
}

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(16);
    fill(readEntries());

    const int start = indexForPath(QDir::currentPath());
    if (start >= 0) {
        const QSignalBlocker quiet(this);
        setCurrentIndex(start);
        m_drive = itemData(start, RootRole).toString();
    }
    connect(this, &QComboBox::activated, this, &DriveList::onActivated);
}

QStringList DriveList::drives() const {
    QStringList roots;
    roots.reserve(m_entries.size());
    for (const Entry& entry : m_entries)
        roots.append(entry.root);
    return roots;
}

bool DriveList::setDrive(const QString& path) {
    if (path.isEmpty())
        return false;
    const int index = indexForPath(path);
    return index >= 0 && choose(index);
}

void DriveList::addDrive(const QString& path, const QString& name) {
    const QString root = lists::absolutePath(path, {});
    const bool known = std::any_of(m_places.begin(), m_places.end(),
                                   [&](const Entry& place) { return place.root == root; });
    if (!known) {
        m_places.append({root, name.isEmpty() ? QFileInfo(root).fileName() : name, Kind::Place});
        fill(readEntries());
    }
}

void DriveList::refresh() {
    fill(readEntries());
}

void DriveList::showPopup() {
    refresh();
    QComboBox::showPopup();
}

QList<DriveList::Entry> DriveList::readEntries() const {
    QList<Entry> entries{{QStringLiteral("/"), tr("File System"), Kind::Root}};
    const auto add = [&entries](Entry entry) {
        const bool known = std::any_of(entries.begin(), entries.end(),
                                       [&](const Entry& e) { return e.root == entry.root; });
        if (!known)
            entries.append(std::move(entry));
    };

    const QString home = QDir::cleanPath(QDir::homePath());
    if (home != QLatin1String("/"))
        add({home, tr("Home"), Kind::Home});

    QList<Entry> volumes;
    // Whether a drive can be read is checked when it is chosen, not for every volume listed.
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = QDir::cleanPath(volume.rootPath());
        if (!volume.isValid() || !isUserVolume(root, volume.fileSystemType(), volume.device()))
            continue;
        QString name = volume.name();
        if (name.isEmpty())
            name = QFileInfo(root).fileName();
        volumes.append(
            {root, name, isNetworkType(volume.fileSystemType()) ? Kind::Network : Kind::Volume});
    }
    std::sort(volumes.begin(), volumes.end(), [](const Entry& a, const Entry& b) {
        return QString::compare(a.name, b.name, Qt::CaseInsensitive) < 0;
    });
    for (const Entry& volume : volumes)
        add(volume);
    for (const Entry& place : m_places)
        add(place);
    return entries;
}

void DriveList::fill(const QList<Entry>& entries) {
    if (entries == m_entries)
        return;

    QString chosen = m_drive;
    {
        const QSignalBlocker quiet(this);
        clear();
        const QFileIconProvider icons;
        for (const Entry& entry : entries) {
            QIcon icon;
            switch (entry.kind) {
            case Kind::Root:
                icon = icons.icon(QAbstractFileIconProvider::Computer);
                break;
            case Kind::Home:
                icon = style()->standardIcon(QStyle::SP_DirHomeIcon);
                break;
            case Kind::Volume:
                icon = icons.icon(QAbstractFileIconProvider::Drive);
                break;
            case Kind::Network:
                icon = icons.icon(QAbstractFileIconProvider::Network);
                break;
            case Kind::Place:
                icon = icons.icon(QAbstractFileIconProvider::Folder);
                break;
            }
            addItem(icon, QStringLiteral("%1 (%2)").arg(entry.name, entry.root), entry.root);
            setItemData(count() - 1, entry.root, Qt::ToolTipRole);
        }
        m_entries = entries;

        if (chosen.isEmpty())
            return;
        int index = indexOfRoot(chosen);
        if (index < 0) {
            // The chosen volume has gone: fall back to the drive that now holds its path.
            index = indexForPath(chosen);
            chosen = itemData(index, RootRole).toString();
        }
        setCurrentIndex(index);
    }
    if (chosen != m_drive) {
        m_drive = chosen;
        Q_EMIT driveChanged(m_drive);
    }
}

int DriveList::indexOfRoot(const QString& root) const {
    return findData(root, RootRole, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

int DriveList::indexForPath(const QString& path) const {
    const QString absolute = lists::absolutePath(path, {});
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < count(); ++i) {
        const QString root = itemData(i, RootRole).toString();
        if (isInside(absolute, root) && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    return best;
}

bool DriveList::choose(int index) {
    const QString root = itemData(index, RootRole).toString();
    if (!lists::isListableFolder(root)) {
        {
            const QSignalBlocker quiet(this);
            setCurrentIndex(indexOfRoot(m_drive));
        }
        Q_EMIT driveNotReady(root);
        return false;
    }
    {
        const QSignalBlocker quiet(this);
        setCurrentIndex(index);
    }
    if (root == m_drive)
        return true;
    m_drive = root;
    Q_EMIT driveChanged(m_drive);
    return true;
}

void DriveList::onActivated(int index) {
    choose(index);
}

} // namespace quillory::ui
