<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU">
<context>
    <name>ApplyCategoryDialog</name>
    <message>
        <source>Применить обои</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Категория: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Целевой экран:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Экран %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Применить это изображение</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Применить изображение из этой категории</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ChangeHook</name>
    <message>
        <source>Commande après changement vide ou mal formée: %1</source>
        <translation>Команда после смены пуста или искажена: %1</translation>
    </message>
</context>
<context>
    <name>ChangeWorkflow</name>
    <message>
        <source>Ошибка подключения обои для экрана %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Erreur API wallpapers pour écran %1: %2</source>
        <translation>Ошибка API обоев для экрана %1: %2</translation>
    </message>
    <message>
        <source>Aucun wallpaper disponible dans l&apos;historique pour l&apos;écran %1</source>
        <translation>В истории нет обоев для экрана %1</translation>
    </message>
    <message>
        <source>Erreur de téléchargement d&apos;image pour écran %1: %2</source>
        <translation>Ошибка загрузки изображения для экрана %1: %2</translation>
    </message>
    <message>
        <source>Erreur de sauvegarde pour écran %1</source>
        <translation>Ошибка сохранения для экрана %1</translation>
    </message>
    <message>
        <source>le fichier reçu n&apos;est pas une image</source>
        <translation>полученный файл не является изображением</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>See velmora --help.
</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velmora keeps the desktop wallpaper fresh with pictures from a wallpaper service.
A second start brings up the running window instead of starting again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Displays this help and exits.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Displays the version and exits.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start hidden in the tray, as at log-on.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Usage: %1 [options]</source>
        <translation type="unfinished"></translation>
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
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CountdownWidget</name>
    <message>
        <source>Только ручная смена обоев</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Смена обоев при следующей перезагрузке компьютера</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PAUSE</source>
        <translation>ПАУЗА</translation>
    </message>
</context>
<context>
    <name>DialAccessible</name>
    <message>
        <source>Следующее Изменение</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>HistoryStripAccessible</name>
    <message>
        <source>История</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ModernWindow</name>
    <message>
        <source>Velmora - Обои, созданные ИИ</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>По&amp;казать</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>В&amp;ыйти</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка при получении категорий</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>🖼️ Изменить Сейчас</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Нажмите, чтобы изменить обои</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Следующее Изменение</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Подробности</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>История</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Применить</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Обои</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Повторная попытка через %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Проверьте подключение к Интернету и сетевые настройки.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>🔄 Изменение в процессе...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ошибка API: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Нет доступной миниатюры для этой категории.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Не удалось применить обои</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Обои успешно применены!</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Категории</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Миниатюра
%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Aucun historique disponible</source>
        <translation>История пуста</translation>
    </message>
    <message>
        <source>Требуется выбор</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Пожалуйста, выберите изображение из истории.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Применение обоев...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Загрузка изображения из API...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Экран %1 не показывает сохранённое изображение</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Не удалось скопировать в избранное: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>В избранном</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Добавить в избранное</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Больше не показывать</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Открыть папку файла</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Команда после каждой смены обоев</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Выключено</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запускается без оболочки; путь к обоям передаётся последним аргументом</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Следующие обои</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Следующие обои на &amp;экране</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Приостановить смену</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>На &amp;1 час</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>До &amp;завтра</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>До &amp;возобновления</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Возобновить смену</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Текущие изображения</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Экран %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Экран %1: нет изображения</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Экран %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no such screen: %1 (screens 1 to %2, or their ids from --status)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a change is already in flight</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>one screen changes alone only with a different picture on each screen (settings tab)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no screen is selected for changes</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>changes paused until resumed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>changes paused until %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>changes resumed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>was not paused</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>several screens: name the one with --screen</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velmora — пауза</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Velmora — пауза до %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Эта комбинация уже занята другой программой</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Клавиши для смены обоев</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Применение на несколько экранов</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>Обои будут применены к %n выбранным экранам.</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>Хотите продолжить?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Больше не показывать это предупреждение</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Выбран экран: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Нет выбранных экранов
Выберите хотя бы один экран</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Выбраны экраны: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Экран без истории</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Экран %1 нельзя отменить, потому что у него еще нет истории обоев.

Сначала примените хотя бы одни обои к этому экрану, чтобы иметь возможность отменить выбор.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Получение случайного изображения...</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>Получение %n случайных изображений...</source>
        <translation type="unfinished">
            <numerusform></numerusform>
            <numerusform></numerusform>
            <numerusform></numerusform>
        </translation>
    </message>
    <message>
        <source>Images téléchargées: %1/%2</source>
        <translation>Загружено изображений: %1/%2</translation>
    </message>
    <message>
        <source>Erreur lors de l&apos;application</source>
        <translation>Ошибка при применении</translation>
    </message>
    <message>
        <source>Succès !</source>
        <translation>Готово!</translation>
    </message>
    <message>
        <source>Заполнить</source>
        <comment>fill</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Изображение сохраняет пропорции, но обрезается для заполнения экрана</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Вписать</source>
        <comment>fit</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Изображение сохраняет пропорции, но добавляются черные полосы для размещения на экране</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Растянуть</source>
        <comment>span</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Изображение растягивается на несколько экранов</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Растянуть</source>
        <comment>stretch</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Изображение растягивается для заполнения всего экрана, но пропорции не соблюдаются</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Мозаика</source>
        <comment>tile</comment>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Изображение повторяется для заполнения всего экрана, пропорции сохраняются</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Только ручное изменение</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Каждый час</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Каждые 3 часа</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Каждые 6 часов</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Каждые 12 часов</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Каждые 24 часа</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Каждую неделю</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Другое</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Каждый день в</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>минут</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>часов</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>дней</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Частота изменения</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Пауза при полном экране</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Пауза от батареи</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Смена при разблокировке</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Режим подгонки изображения</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Системные настройки</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Запускать с Windows</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Менять обои
при запуске компьютера</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Разное изображение на каждом экране</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Настройки</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Выбранный режим подгонки</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Язык</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Как задумано</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>System</source>
        <translation>Системный</translation>
    </message>
    <message>
        <source>Изменить Сейчас</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Состояние смены обоев</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Время до следующей смены обоев</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Экраны для смены обоев</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Стрелки выбирают экран, пробел отмечает его</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Стрелки выбирают обои, Enter применяет их</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Более новые обои</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Более старые обои</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Интервал</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Единица интервала</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Время смены</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>категория %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>экран %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Обои: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Категория отключена</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Рейтинг: %1 из 3</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PictureMarks</name>
    <message>
        <source>Fichier des marques %1: %2</source>
        <translation>Файл отметок %1: %2</translation>
    </message>
    <message>
        <source>Nom d&apos;image invalide: %1</source>
        <translation>Недопустимое имя изображения: %1</translation>
    </message>
</context>
<context>
    <name>QCommandLineParser</name>
    <message>
        <source>Options:</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RemoteCommand</name>
    <message>
        <source>--screen goes only with --next, --favourite or --never-again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not a screen number or id: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>pause out of range</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a duration goes only with --pause</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--screen needs a screen number or id</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--screen given twice</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unknown argument: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>one command at a time: --%1 and --%2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--%1 takes no value</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>--screen needs a command: --next, --favourite or --never-again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not a duration: %1 (for example 30m, 1h, 2d; at most 366d)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>request too large</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>malformed request</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>request of another version (this one speaks %1)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unknown field in request: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unknown command in request</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>malformed screen in request</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>empty screen in request</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>malformed duration in request</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ScreenSelectorAccessible</name>
    <message>
        <source>Экраны для смены обоев</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ScreenTabAccessible</name>
    <message>
        <source>Экран %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Выбор нельзя снять, пока на экране нет новых обоев</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SingleInstance</name>
    <message>
        <source>Velmora is still starting</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>WidgetAccessibility</name>
    <message>
        <source>Применить</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
