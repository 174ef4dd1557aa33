// Sets PREFIX0 .. PREFIX<COUNT-1> to their index in the preference file at
// PATH, synchronising after each one, as the preferences window of another
// process would. Exit status 1 when a write fails.
#include "prefs/PreferenceStore.h"

#include <QString>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    pictomat::prefs::PreferenceStore store(QString::fromLocal8Bit(argv[1]));
    const QString prefix = QString::fromLocal8Bit(argv[2]);
    const int count = QString::fromLatin1(argv[3]).toInt();
    for (int i = 0; i < count; ++i) {
        store.setValue(prefix + QString::number(i), qint64(i));
        if (!store.synchronize()) {
            std::fprintf(stderr, "%s\n", store.lastError().toUtf8().constData());
            return 1;
        }
    }
    return 0;
}
