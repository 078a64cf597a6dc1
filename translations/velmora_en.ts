<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name>ApplyCategoryDialog</name>
    <message>
        <source>Применить обои</source>
        <translation>Apply wallpaper</translation>
    </message>
    <message>
        <source>Категория: %1</source>
        <translation>Category: %1</translation>
    </message>
    <message>
        <source>Целевой экран:</source>
        <translation>Target screen:</translation>
    </message>
    <message>
        <source>Экран %1</source>
        <translation>Screen %1</translation>
    </message>
    <message>
        <source>Применить это изображение</source>
        <translation>Apply this picture</translation>
    </message>
    <message>
        <source>Применить изображение из этой категории</source>
        <translation>Apply a picture from this category</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>ChangeHook</name>
    <message>
        <source>Commande après changement vide ou mal formée: %1</source>
        <translation>Command after change empty or malformed: %1</translation>
    </message>
</context>
<context>
    <name>ChangeWorkflow</name>
    <message>
        <source>Ошибка подключения обои для экрана %1: %2</source>
        <translation>Connection error for the wallpaper of screen %1: %2</translation>
    </message>
    <message>
        <source>Erreur API wallpapers pour écran %1: %2</source>
        <translation>Wallpaper API error for screen %1: %2</translation>
    </message>
    <message>
        <source>Aucun wallpaper disponible dans l&apos;historique pour l&apos;écran %1</source>
        <translation>No wallpaper available in the history for screen %1</translation>
    </message>
    <message>
        <source>Erreur de téléchargement d&apos;image pour écran %1: %2</source>
        <translation>Picture download error for screen %1: %2</translation>
    </message>
    <message>
        <source>Erreur de sauvegarde pour écran %1</source>
        <translation>Save error for screen %1</translation>
    </message>
    <message>
        <source>le fichier reçu n&apos;est pas une image</source>
        <translation>the received file is not a picture</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>See velmora --help.
</source>
        <translation>See velmora --help.
</translation>
    </message>
    <message>
        <source>Velmora keeps the desktop wallpaper fresh with pictures from a wallpaper service.
A second start brings up the running window instead of starting again.</source>
        <translation>Velmora keeps the desktop wallpaper fresh with pictures from a wallpaper service.
A second start brings up the running window instead of starting again.</translation>
    </message>
    <message>
        <source>Displays this help and exits.</source>
        <translation>Displays this help and exits.</translation>
    </message>
    <message>
        <source>Displays the version and exits.</source>
        <translation>Displays the version and exits.</translation>
    </message>
    <message>
        <source>Start hidden in the tray, as at log-on.</source>
        <translation>Start hidden in the tray, as at log-on.</translation>
    </message>
    <message>
        <source>Usage: %1 [options]</source>
        <translation>Usage: %1 [options]</translation>
    </message>
    <message>
        <source>
Commands, for the running Velmora (started hidden in the tray when none runs):
  --next [--screen ID|N]         Changes the wallpaper now: every screen, or the
                                 one named by its id or its number (1 = first).
  --pause [DURATION]             Pauses the schedule for 30m, 1h, 2d ... (minutes
                                 when no unit is given), or until resumed.
  --resume                       Ends a pause.
  --favourite [--screen ID|N]    Keeps the current picture as a favourite.
  --never-again [--screen ID|N]  Never shows the current picture again.
  --status                       Prints the monitors, their pictures and the
                                 schedule as JSON.

Exit codes: 0 done, 2 bad arguments, 3 the running Velmora refused (the message
says why).
</source>
        <translation>
Commands, for the running Velmora (started hidden in the tray when none runs):
  --next [--screen ID|N]         Changes the wallpaper now: every screen, or the
                                 one named by its id or its number (1 = first).
  --pause [DURATION]             Pauses the schedule for 30m, 1h, 2d ... (minutes
                                 when no unit is given), or until resumed.
  --resume                       Ends a pause.
  --favourite [--screen ID|N]    Keeps the current picture as a favourite.
  --never-again [--screen ID|N]  Never shows the current picture again.
  --status                       Prints the monitors, their pictures and the
                                 schedule as JSON.

Exit codes: 0 done, 2 bad arguments, 3 the running Velmora refused (the message
says why).
</translation>
    </message>
</context>
<context>
    <name>CountdownWidget</name>
    <message>
        <source>Только ручная смена обоев</source>
        <translation>Manual wallpaper changes only</translation>
    </message>
    <message>
        <source>Смена обоев при следующей перезагрузке компьютера</source>
        <translation>Wallpaper changes at the next computer restart</translation>
    </message>
    <message>
        <source>PAUSE</source>
        <translation>PAUSE</translation>
    </message>
</context>
<context>
    <name>DialAccessible</name>
    <message>
        <source>Следующее Изменение</source>
        <translation>Next Change</translation>
    </message>
</context>
<context>
    <name>HistoryStripAccessible</name>
    <message>
        <source>История</source>
        <translation>History</translation>
    </message>
</context>
<context>
    <name>ModernWindow</name>
    <message>
        <source>Velmora - Обои, созданные ИИ</source>
        <translation>Velmora - AI-made wallpapers</translation>
    </message>
    <message>
        <source>По&amp;казать</source>
        <translation>&amp;Show</translation>
    </message>
    <message>
        <source>В&amp;ыйти</source>
        <translation>&amp;Quit</translation>
    </message>
    <message>
        <source>Ошибка при получении категорий</source>
        <translation>Error while fetching the categories</translation>
    </message>
    <message>
        <source>🖼️ Изменить Сейчас</source>
        <translation>🖼️ Change Now</translation>
    </message>
    <message>
        <source>Нажмите, чтобы изменить обои</source>
        <translation>Click to change the wallpaper</translation>
    </message>
    <message>
        <source>Следующее Изменение</source>
        <translation>Next Change</translation>
    </message>
    <message>
        <source>Подробности</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>История</source>
        <translation>History</translation>
    </message>
    <message>
        <source>Применить</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>Обои</source>
        <translation>Wallpaper</translation>
    </message>
    <message>
        <source>Повторная попытка через %1</source>
        <translation>Retrying in %1</translation>
    </message>
    <message>
        <source>Проверьте подключение к Интернету и сетевые настройки.</source>
        <translation>Check the Internet connection and the network settings.</translation>
    </message>
    <message>
        <source>🔄 Изменение в процессе...</source>
        <translation>🔄 Change in progress...</translation>
    </message>
    <message>
        <source>Ошибка API: %1</source>
        <translation>API error: %1</translation>
    </message>
    <message>
        <source>Нет доступной миниатюры для этой категории.</source>
        <translation>No thumbnail available for this category.</translation>
    </message>
    <message>
        <source>Не удалось применить обои</source>
        <translation>The wallpaper could not be applied</translation>
    </message>
    <message>
        <source>Обои успешно применены!</source>
        <translation>Wallpaper applied!</translation>
    </message>
    <message>
        <source>Категории</source>
        <translation>Categories</translation>
    </message>
    <message>
        <source>Миниатюра
%1</source>
        <translation>Thumbnail
%1</translation>
    </message>
    <message>
        <source>Aucun historique disponible</source>
        <translation>No history available</translation>
    </message>
    <message>
        <source>Требуется выбор</source>
        <translation>Selection needed</translation>
    </message>
    <message>
        <source>Пожалуйста, выберите изображение из истории.</source>
        <translation>Please select a picture from the history.</translation>
    </message>
    <message>
        <source>Применение обоев...</source>
        <translation>Applying the wallpaper...</translation>
    </message>
    <message>
        <source>Загрузка изображения из API...</source>
        <translation>Downloading the picture from the API...</translation>
    </message>
    <message>
        <source>Экран %1 не показывает сохранённое изображение</source>
        <translation>Screen %1 shows no saved picture</translation>
    </message>
    <message>
        <source>Не удалось скопировать в избранное: %1</source>
        <translation>Could not copy to the favourites: %1</translation>
    </message>
    <message>
        <source>В избранном</source>
        <translation>In the favourites</translation>
    </message>
    <message>
        <source>Добавить в избранное</source>
        <translation>Add to favourites</translation>
    </message>
    <message>
        <source>Больше не показывать</source>
        <translation>Never show again</translation>
    </message>
    <message>
        <source>Открыть папку файла</source>
        <translation>Open the file&apos;s folder</translation>
    </message>
    <message>
        <source>Команда после каждой смены обоев</source>
        <translation>Command after each wallpaper change</translation>
    </message>
    <message>
        <source>Выключено</source>
        <translation>Off</translation>
    </message>
    <message>
        <source>Запускается без оболочки; путь к обоям передаётся последним аргументом</source>
        <translation>Run without a shell; the wallpaper&apos;s path is passed as the last argument</translation>
    </message>
    <message>
        <source>&amp;Следующие обои</source>
        <translation>&amp;Next wallpaper</translation>
    </message>
    <message>
        <source>Следующие обои на &amp;экране</source>
        <translation>Next wallpaper on &amp;screen</translation>
    </message>
    <message>
        <source>&amp;Приостановить смену</source>
        <translation>&amp;Pause changes</translation>
    </message>
    <message>
        <source>На &amp;1 час</source>
        <translation>For &amp;1 hour</translation>
    </message>
    <message>
        <source>До &amp;завтра</source>
        <translation>Until &amp;tomorrow</translation>
    </message>
    <message>
        <source>До &amp;возобновления</source>
        <translation>Until &amp;resumed</translation>
    </message>
    <message>
        <source>&amp;Возобновить смену</source>
        <translation>&amp;Resume changes</translation>
    </message>
    <message>
        <source>&amp;Текущие изображения</source>
        <translation>&amp;Current pictures</translation>
    </message>
    <message>
        <source>Экран %1</source>
        <translation>Screen %1</translation>
    </message>
    <message>
        <source>Экран %1: нет изображения</source>
        <translation>Screen %1: no picture</translation>
    </message>
    <message>
        <source>Экран %1: %2</source>
        <translation>Screen %1: %2</translation>
    </message>
    <message>
        <source>no such screen: %1 (screens 1 to %2, or their ids from --status)</source>
        <translation>no such screen: %1 (screens 1 to %2, or their ids from --status)</translation>
    </message>
    <message>
        <source>a change is already in flight</source>
        <translation>a change is already in flight</translation>
    </message>
    <message>
        <source>one screen changes alone only with a different picture on each screen (settings tab)</source>
        <translation>one screen changes alone only with a different picture on each screen (settings tab)</translation>
    </message>
    <message>
        <source>no screen is selected for changes</source>
        <translation>no screen is selected for changes</translation>
    </message>
    <message>
        <source>changes paused until resumed</source>
        <translation>changes paused until resumed</translation>
    </message>
    <message>
        <source>changes paused until %1</source>
        <translation>changes paused until %1</translation>
    </message>
    <message>
        <source>changes resumed</source>
        <translation>changes resumed</translation>
    </message>
    <message>
        <source>was not paused</source>
        <translation>was not paused</translation>
    </message>
    <message>
        <source>several screens: name the one with --screen</source>
        <translation>several screens: name the one with --screen</translation>
    </message>
    <message>
        <source>Velmora — пауза</source>
        <translation>Velmora — paused</translation>
    </message>
    <message>
        <source>Velmora — пауза до %1</source>
        <translation>Velmora — paused until %1</translation>
    </message>
    <message>
        <source>Эта комбинация уже занята другой программой</source>
        <translation>Another program already uses this combination</translation>
    </message>
    <message>
        <source>Клавиши для смены обоев</source>
        <translation>Keys to change the wallpaper</translation>
    </message>
    <message>
        <source>Применение на несколько экранов</source>
        <translation>Applying to several screens</translation>
    </message>
    <message numerus="yes">
        <source>Обои будут применены к %n выбранным экранам.</source>
        <translation>
            <numerusform>The wallpaper will be applied to %n selected screen.</numerusform>
            <numerusform>The wallpaper will be applied to %n selected screens.</numerusform>
        </translation>
    </message>
    <message>
        <source>Хотите продолжить?</source>
        <translation>Do you want to continue?</translation>
    </message>
    <message>
        <source>Больше не показывать это предупреждение</source>
        <translation>Do not show this warning again</translation>
    </message>
    <message>
        <source>Выбран экран: %1</source>
        <translation>Screen selected: %1</translation>
    </message>
    <message>
        <source>Нет выбранных экранов
Выберите хотя бы один экран</source>
        <translation>No screen selected
Select at least one screen</translation>
    </message>
    <message>
        <source>Выбраны экраны: %1</source>
        <translation>Screens selected: %1</translation>
    </message>
    <message>
        <source>Экран без истории</source>
        <translation>Screen without history</translation>
    </message>
    <message>
        <source>Экран %1 нельзя отменить, потому что у него еще нет истории обоев.

Сначала примените хотя бы одни обои к этому экрану, чтобы иметь возможность отменить выбор.</source>
        <translation>Screen %1 cannot be deselected because it has no wallpaper history yet.

Apply at least one wallpaper to this screen first to be able to deselect it.</translation>
    </message>
    <message>
        <source>Получение случайного изображения...</source>
        <translation>Fetching a random picture...</translation>
    </message>
    <message numerus="yes">
        <source>Получение %n случайных изображений...</source>
        <translation>
            <numerusform>Fetching %n random picture...</numerusform>
            <numerusform>Fetching %n random pictures...</numerusform>
        </translation>
    </message>
    <message>
        <source>Images téléchargées: %1/%2</source>
        <translation>Pictures downloaded: %1/%2</translation>
    </message>
    <message>
        <source>Erreur lors de l&apos;application</source>
        <translation>Error while applying</translation>
    </message>
    <message>
        <source>Succès !</source>
        <translation>Success!</translation>
    </message>
    <message>
        <source>Заполнить</source>
        <comment>fill</comment>
        <translation>Fill</translation>
    </message>
    <message>
        <source>Изображение сохраняет пропорции, но обрезается для заполнения экрана</source>
        <translation>The picture keeps its proportions but is cropped to fill the screen</translation>
    </message>
    <message>
        <source>Вписать</source>
        <comment>fit</comment>
        <translation>Fit</translation>
    </message>
    <message>
        <source>Изображение сохраняет пропорции, но добавляются черные полосы для размещения на экране</source>
        <translation>The picture keeps its proportions; black bars are added to fit it on the screen</translation>
    </message>
    <message>
        <source>Растянуть</source>
        <comment>span</comment>
        <translation>Span</translation>
    </message>
    <message>
        <source>Изображение растягивается на несколько экранов</source>
        <translation>The picture spans several screens</translation>
    </message>
    <message>
        <source>Растянуть</source>
        <comment>stretch</comment>
        <translation>Stretch</translation>
    </message>
    <message>
        <source>Изображение растягивается для заполнения всего экрана, но пропорции не соблюдаются</source>
        <translation>The picture is stretched to fill the whole screen; its proportions are not kept</translation>
    </message>
    <message>
        <source>Мозаика</source>
        <comment>tile</comment>
        <translation>Tile</translation>
    </message>
    <message>
        <source>Изображение повторяется для заполнения всего экрана, пропорции сохраняются</source>
        <translation>The picture is repeated to fill the whole screen; its proportions are kept</translation>
    </message>
    <message>
        <source>Только ручное изменение</source>
        <translation>Manual changes only</translation>
    </message>
    <message>
        <source>Каждый час</source>
        <translation>Every hour</translation>
    </message>
    <message>
        <source>Каждые 3 часа</source>
        <translation>Every 3 hours</translation>
    </message>
    <message>
        <source>Каждые 6 часов</source>
        <translation>Every 6 hours</translation>
    </message>
    <message>
        <source>Каждые 12 часов</source>
        <translation>Every 12 hours</translation>
    </message>
    <message>
        <source>Каждые 24 часа</source>
        <translation>Every 24 hours</translation>
    </message>
    <message>
        <source>Каждую неделю</source>
        <translation>Every week</translation>
    </message>
    <message>
        <source>Другое</source>
        <translation>Other</translation>
    </message>
    <message>
        <source>Каждый день в</source>
        <translation>Every day at</translation>
    </message>
    <message>
        <source>минут</source>
        <translation>minutes</translation>
    </message>
    <message>
        <source>часов</source>
        <translation>hours</translation>
    </message>
    <message>
        <source>дней</source>
        <translation>days</translation>
    </message>
    <message>
        <source>Частота изменения</source>
        <translation>Change frequency</translation>
    </message>
    <message>
        <source>Пауза при полном экране</source>
        <translation>Pause while full screen</translation>
    </message>
    <message>
        <source>Пауза от батареи</source>
        <translation>Pause on battery</translation>
    </message>
    <message>
        <source>Смена при разблокировке</source>
        <translation>Change on unlock</translation>
    </message>
    <message>
        <source>Режим подгонки изображения</source>
        <translation>Picture fit mode</translation>
    </message>
    <message>
        <source>Системные настройки</source>
        <translation>System settings</translation>
    </message>
    <message>
        <source>Запускать с Windows</source>
        <translation>Start with Windows</translation>
    </message>
    <message>
        <source>Менять обои
при запуске компьютера</source>
        <translation>Change the wallpaper
when the computer starts</translation>
    </message>
    <message>
        <source>Разное изображение на каждом экране</source>
        <translation>A different picture on each screen</translation>
    </message>
    <message>
        <source>Настройки</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>Выбранный режим подгонки</source>
        <translation>Selected fit mode</translation>
    </message>
    <message>
        <source>Язык</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>Как задумано</source>
        <translation>As designed</translation>
    </message>
    <message>
        <source>System</source>
        <translation>System</translation>
    </message>
    <message>
        <source>Изменить Сейчас</source>
        <translation>Change Now</translation>
    </message>
    <message>
        <source>Состояние смены обоев</source>
        <translation>Wallpaper change status</translation>
    </message>
    <message>
        <source>Время до следующей смены обоев</source>
        <translation>Time until the next wallpaper change</translation>
    </message>
    <message>
        <source>Экраны для смены обоев</source>
        <translation>Screens to change the wallpaper on</translation>
    </message>
    <message>
        <source>Стрелки выбирают экран, пробел отмечает его</source>
        <translation>Arrow keys choose a screen, Space marks it</translation>
    </message>
    <message>
        <source>Стрелки выбирают обои, Enter применяет их</source>
        <translation>Arrow keys choose a wallpaper, Enter applies it</translation>
    </message>
    <message>
        <source>Более новые обои</source>
        <translation>Newer wallpapers</translation>
    </message>
    <message>
        <source>Более старые обои</source>
        <translation>Older wallpapers</translation>
    </message>
    <message>
        <source>Интервал</source>
        <translation>Interval</translation>
    </message>
    <message>
        <source>Единица интервала</source>
        <translation>Interval unit</translation>
    </message>
    <message>
        <source>Время смены</source>
        <translation>Change time</translation>
    </message>
    <message>
        <source>категория %1</source>
        <translation>category %1</translation>
    </message>
    <message>
        <source>экран %1</source>
        <translation>screen %1</translation>
    </message>
    <message>
        <source>Обои: %1</source>
        <translation>Wallpaper: %1</translation>
    </message>
    <message>
        <source>Категория отключена</source>
        <translation>Category disabled</translation>
    </message>
    <message>
        <source>Рейтинг: %1 из 3</source>
        <translation>Rating: %1 of 3</translation>
    </message>
</context>
<context>
    <name>PictureMarks</name>
    <message>
        <source>Fichier des marques %1: %2</source>
        <translation>Marks file %1: %2</translation>
    </message>
    <message>
        <source>Nom d&apos;image invalide: %1</source>
        <translation>Invalid picture name: %1</translation>
    </message>
</context>
<context>
    <name>QCommandLineParser</name>
    <message>
        <source>Options:</source>
        <translation>Options:</translation>
    </message>
</context>
<context>
    <name>RemoteCommand</name>
    <message>
        <source>--screen goes only with --next, --favourite or --never-again</source>
        <translation>--screen goes only with --next, --favourite or --never-again</translation>
    </message>
    <message>
        <source>not a screen number or id: %1</source>
        <translation>not a screen number or id: %1</translation>
    </message>
    <message>
        <source>pause out of range</source>
        <translation>pause out of range</translation>
    </message>
    <message>
        <source>a duration goes only with --pause</source>
        <translation>a duration goes only with --pause</translation>
    </message>
    <message>
        <source>--screen needs a screen number or id</source>
        <translation>--screen needs a screen number or id</translation>
    </message>
    <message>
        <source>--screen given twice</source>
        <translation>--screen given twice</translation>
    </message>
    <message>
        <source>unknown argument: %1</source>
        <translation>unknown argument: %1</translation>
    </message>
    <message>
        <source>one command at a time: --%1 and --%2</source>
        <translation>one command at a time: --%1 and --%2</translation>
    </message>
    <message>
        <source>--%1 takes no value</source>
        <translation>--%1 takes no value</translation>
    </message>
    <message>
        <source>--screen needs a command: --next, --favourite or --never-again</source>
        <translation>--screen needs a command: --next, --favourite or --never-again</translation>
    </message>
    <message>
        <source>not a duration: %1 (for example 30m, 1h, 2d; at most 366d)</source>
        <translation>not a duration: %1 (for example 30m, 1h, 2d; at most 366d)</translation>
    </message>
    <message>
        <source>request too large</source>
        <translation>request too large</translation>
    </message>
    <message>
        <source>malformed request</source>
        <translation>malformed request</translation>
    </message>
    <message>
        <source>request of another version (this one speaks %1)</source>
        <translation>request of another version (this one speaks %1)</translation>
    </message>
    <message>
        <source>unknown field in request: %1</source>
        <translation>unknown field in request: %1</translation>
    </message>
    <message>
        <source>unknown command in request</source>
        <translation>unknown command in request</translation>
    </message>
    <message>
        <source>malformed screen in request</source>
        <translation>malformed screen in request</translation>
    </message>
    <message>
        <source>empty screen in request</source>
        <translation>empty screen in request</translation>
    </message>
    <message>
        <source>malformed duration in request</source>
        <translation>malformed duration in request</translation>
    </message>
</context>
<context>
    <name>ScreenSelectorAccessible</name>
    <message>
        <source>Экраны для смены обоев</source>
        <translation>Screens to change the wallpaper on</translation>
    </message>
</context>
<context>
    <name>ScreenTabAccessible</name>
    <message>
        <source>Экран %1</source>
        <translation>Screen %1</translation>
    </message>
    <message>
        <source>Выбор нельзя снять, пока на экране нет новых обоев</source>
        <translation>This screen cannot be unselected until it has a new wallpaper</translation>
    </message>
</context>
<context>
    <name>SingleInstance</name>
    <message>
        <source>Velmora is still starting</source>
        <translation>Velmora is still starting</translation>
    </message>
</context>
<context>
    <name>WidgetAccessibility</name>
    <message>
        <source>Применить</source>
        <translation>Apply</translation>
    </message>
</context>
</TS>
