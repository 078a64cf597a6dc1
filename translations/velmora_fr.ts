<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>ApplyCategoryDialog</name>
    <message>
        <source>Применить обои</source>
        <translation>Appliquer le fond d&apos;écran</translation>
    </message>
    <message>
        <source>Категория: %1</source>
        <translation>Catégorie : %1</translation>
    </message>
    <message>
        <source>Целевой экран:</source>
        <translation>Écran cible :</translation>
    </message>
    <message>
        <source>Экран %1</source>
        <translation>Écran %1</translation>
    </message>
    <message>
        <source>Применить это изображение</source>
        <translation>Appliquer cette image</translation>
    </message>
    <message>
        <source>Применить изображение из этой категории</source>
        <translation>Appliquer une image de cette catégorie</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Fermer</translation>
    </message>
</context>
<context>
    <name>ChangeHook</name>
    <message>
        <source>Commande après changement vide ou mal formée: %1</source>
        <translation>Commande après changement vide ou mal formée: %1</translation>
    </message>
</context>
<context>
    <name>ChangeWorkflow</name>
    <message>
        <source>Ошибка подключения обои для экрана %1: %2</source>
        <translation>Erreur de connexion du fond d&apos;écran pour l&apos;écran %1 : %2</translation>
    </message>
    <message>
        <source>Erreur API wallpapers pour écran %1: %2</source>
        <translation>Erreur API wallpapers pour écran %1: %2</translation>
    </message>
    <message>
        <source>Aucun wallpaper disponible dans l&apos;historique pour l&apos;écran %1</source>
        <translation>Aucun wallpaper disponible dans l&apos;historique pour l&apos;écran %1</translation>
    </message>
    <message>
        <source>Erreur de téléchargement d&apos;image pour écran %1: %2</source>
        <translation>Erreur de téléchargement d&apos;image pour écran %1: %2</translation>
    </message>
    <message>
        <source>Erreur de sauvegarde pour écran %1</source>
        <translation>Erreur de sauvegarde pour écran %1</translation>
    </message>
    <message>
        <source>le fichier reçu n&apos;est pas une image</source>
        <translation>le fichier reçu n&apos;est pas une image</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>See velmora --help.
</source>
        <translation>Voir velmora --help.
</translation>
    </message>
    <message>
        <source>Velmora keeps the desktop wallpaper fresh with pictures from a wallpaper service.
A second start brings up the running window instead of starting again.</source>
        <translation>Velmora renouvelle le fond d&apos;écran du bureau avec les images d&apos;un service de fonds d&apos;écran.
Un second lancement affiche la fenêtre déjà ouverte au lieu de redémarrer.</translation>
    </message>
    <message>
        <source>Displays this help and exits.</source>
        <translation>Affiche cette aide et quitte.</translation>
    </message>
    <message>
        <source>Displays the version and exits.</source>
        <translation>Affiche la version et quitte.</translation>
    </message>
    <message>
        <source>Start hidden in the tray, as at log-on.</source>
        <translation>Démarre caché dans la zone de notification, comme à l&apos;ouverture de session.</translation>
    </message>
    <message>
        <source>Usage: %1 [options]</source>
        <translation>Utilisation : %1 [options]</translation>
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
        <translation>Changement manuel uniquement</translation>
    </message>
    <message>
        <source>Смена обоев при следующей перезагрузке компьютера</source>
        <translation>Changement au prochain redémarrage de l&apos;ordinateur</translation>
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
        <translation>Prochain changement</translation>
    </message>
</context>
<context>
    <name>HistoryStripAccessible</name>
    <message>
        <source>История</source>
        <translation>Historique</translation>
    </message>
</context>
<context>
    <name>ModernWindow</name>
    <message>
        <source>Velmora - Обои, созданные ИИ</source>
        <translation>Velmora - Fonds d&apos;écran créés par l&apos;IA</translation>
    </message>
    <message>
        <source>По&amp;казать</source>
        <translation>&amp;Afficher</translation>
    </message>
    <message>
        <source>В&amp;ыйти</source>
        <translation>&amp;Quitter</translation>
    </message>
    <message>
        <source>Ошибка при получении категорий</source>
        <translation>Erreur lors de la récupération des catégories</translation>
    </message>
    <message>
        <source>🖼️ Изменить Сейчас</source>
        <translation>🖼️ Changer maintenant</translation>
    </message>
    <message>
        <source>Нажмите, чтобы изменить обои</source>
        <translation>Cliquez pour changer le fond d&apos;écran</translation>
    </message>
    <message>
        <source>Следующее Изменение</source>
        <translation>Prochain changement</translation>
    </message>
    <message>
        <source>Подробности</source>
        <translation>Détails</translation>
    </message>
    <message>
        <source>История</source>
        <translation>Historique</translation>
    </message>
    <message>
        <source>Применить</source>
        <translation>Appliquer</translation>
    </message>
    <message>
        <source>Обои</source>
        <translation>Fond d&apos;écran</translation>
    </message>
    <message>
        <source>Повторная попытка через %1</source>
        <translation>Nouvelle tentative dans %1</translation>
    </message>
    <message>
        <source>Проверьте подключение к Интернету и сетевые настройки.</source>
        <translation>Vérifiez la connexion Internet et les paramètres réseau.</translation>
    </message>
    <message>
        <source>🔄 Изменение в процессе...</source>
        <translation>🔄 Changement en cours...</translation>
    </message>
    <message>
        <source>Ошибка API: %1</source>
        <translation>Erreur API : %1</translation>
    </message>
    <message>
        <source>Нет доступной миниатюры для этой категории.</source>
        <translation>Aucune miniature disponible pour cette catégorie.</translation>
    </message>
    <message>
        <source>Не удалось применить обои</source>
        <translation>Impossible d&apos;appliquer le fond d&apos;écran</translation>
    </message>
    <message>
        <source>Обои успешно применены!</source>
        <translation>Fond d&apos;écran appliqué !</translation>
    </message>
    <message>
        <source>Категории</source>
        <translation>Catégories</translation>
    </message>
    <message>
        <source>Миниатюра
%1</source>
        <translation>Miniature
%1</translation>
    </message>
    <message>
        <source>Aucun historique disponible</source>
        <translation>Aucun historique disponible</translation>
    </message>
    <message>
        <source>Требуется выбор</source>
        <translation>Sélection requise</translation>
    </message>
    <message>
        <source>Пожалуйста, выберите изображение из истории.</source>
        <translation>Veuillez choisir une image de l&apos;historique.</translation>
    </message>
    <message>
        <source>Применение обоев...</source>
        <translation>Application du fond d&apos;écran...</translation>
    </message>
    <message>
        <source>Загрузка изображения из API...</source>
        <translation>Téléchargement de l&apos;image depuis l&apos;API...</translation>
    </message>
    <message>
        <source>Экран %1 не показывает сохранённое изображение</source>
        <translation>L&apos;écran %1 n&apos;affiche aucune image enregistrée</translation>
    </message>
    <message>
        <source>Не удалось скопировать в избранное: %1</source>
        <translation>Impossible de copier dans les favoris : %1</translation>
    </message>
    <message>
        <source>В избранном</source>
        <translation>Dans les favoris</translation>
    </message>
    <message>
        <source>Добавить в избранное</source>
        <translation>Ajouter aux favoris</translation>
    </message>
    <message>
        <source>Больше не показывать</source>
        <translation>Ne plus afficher</translation>
    </message>
    <message>
        <source>Открыть папку файла</source>
        <translation>Ouvrir le dossier du fichier</translation>
    </message>
    <message>
        <source>Команда после каждой смены обоев</source>
        <translation>Commande après chaque changement de fond d&apos;écran</translation>
    </message>
    <message>
        <source>Выключено</source>
        <translation>Désactivée</translation>
    </message>
    <message>
        <source>Запускается без оболочки; путь к обоям передаётся последним аргументом</source>
        <translation>Lancée sans shell ; le chemin du fond d&apos;écran est passé en dernier argument</translation>
    </message>
    <message>
        <source>&amp;Следующие обои</source>
        <translation>Fond d&apos;écran &amp;suivant</translation>
    </message>
    <message>
        <source>Следующие обои на &amp;экране</source>
        <translation>Fond d&apos;écran suivant sur l&apos;&amp;écran</translation>
    </message>
    <message>
        <source>&amp;Приостановить смену</source>
        <translation>Mettre en &amp;pause</translation>
    </message>
    <message>
        <source>На &amp;1 час</source>
        <translation>Pendant &amp;1 heure</translation>
    </message>
    <message>
        <source>До &amp;завтра</source>
        <translation>Jusqu&apos;à &amp;demain</translation>
    </message>
    <message>
        <source>До &amp;возобновления</source>
        <translation>Jusqu&apos;à la &amp;reprise</translation>
    </message>
    <message>
        <source>&amp;Возобновить смену</source>
        <translation>&amp;Reprendre les changements</translation>
    </message>
    <message>
        <source>&amp;Текущие изображения</source>
        <translation>&amp;Images actuelles</translation>
    </message>
    <message>
        <source>Экран %1</source>
        <translation>Écran %1</translation>
    </message>
    <message>
        <source>Экран %1: нет изображения</source>
        <translation>Écran %1 : aucune image</translation>
    </message>
    <message>
        <source>Экран %1: %2</source>
        <translation>Écran %1 : %2</translation>
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
        <translation>Velmora — en pause</translation>
    </message>
    <message>
        <source>Velmora — пауза до %1</source>
        <translation>Velmora — en pause jusqu&apos;à %1</translation>
    </message>
    <message>
        <source>Эта комбинация уже занята другой программой</source>
        <translation>Un autre programme utilise déjà cette combinaison</translation>
    </message>
    <message>
        <source>Клавиши для смены обоев</source>
        <translation>Touches pour changer le fond d&apos;écran</translation>
    </message>
    <message>
        <source>Применение на несколько экранов</source>
        <translation>Application sur plusieurs écrans</translation>
    </message>
    <message numerus="yes">
        <source>Обои будут применены к %n выбранным экранам.</source>
        <translation>
            <numerusform>Le fond d&apos;écran sera appliqué à %n écran sélectionné.</numerusform>
            <numerusform>Le fond d&apos;écran sera appliqué aux %n écrans sélectionnés.</numerusform>
        </translation>
    </message>
    <message>
        <source>Хотите продолжить?</source>
        <translation>Voulez-vous continuer ?</translation>
    </message>
    <message>
        <source>Больше не показывать это предупреждение</source>
        <translation>Ne plus afficher cet avertissement</translation>
    </message>
    <message>
        <source>Выбран экран: %1</source>
        <translation>Écran sélectionné : %1</translation>
    </message>
    <message>
        <source>Нет выбранных экранов
Выберите хотя бы один экран</source>
        <translation>Aucun écran sélectionné
Sélectionnez au moins un écran</translation>
    </message>
    <message>
        <source>Выбраны экраны: %1</source>
        <translation>Écrans sélectionnés : %1</translation>
    </message>
    <message>
        <source>Экран без истории</source>
        <translation>Écran sans historique</translation>
    </message>
    <message>
        <source>Экран %1 нельзя отменить, потому что у него еще нет истории обоев.

Сначала примените хотя бы одни обои к этому экрану, чтобы иметь возможность отменить выбор.</source>
        <translation>L&apos;écran %1 ne peut pas être désélectionné car il n&apos;a pas encore d&apos;historique de fonds d&apos;écran.

Appliquez d&apos;abord au moins un fond d&apos;écran à cet écran pour pouvoir le désélectionner.</translation>
    </message>
    <message>
        <source>Получение случайного изображения...</source>
        <translation>Récupération d&apos;une image aléatoire...</translation>
    </message>
    <message numerus="yes">
        <source>Получение %n случайных изображений...</source>
        <translation>
            <numerusform>Récupération de %n image aléatoire...</numerusform>
            <numerusform>Récupération de %n images aléatoires...</numerusform>
        </translation>
    </message>
    <message>
        <source>Images téléchargées: %1/%2</source>
        <translation>Images téléchargées: %1/%2</translation>
    </message>
    <message>
        <source>Erreur lors de l&apos;application</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Succès !</source>
        <translation>Succès !</translation>
    </message>
    <message>
        <source>Заполнить</source>
        <comment>fill</comment>
        <translation>Remplir</translation>
    </message>
    <message>
        <source>Изображение сохраняет пропорции, но обрезается для заполнения экрана</source>
        <translation>L&apos;image garde ses proportions mais est rognée pour remplir l&apos;écran</translation>
    </message>
    <message>
        <source>Вписать</source>
        <comment>fit</comment>
        <translation>Ajuster</translation>
    </message>
    <message>
        <source>Изображение сохраняет пропорции, но добавляются черные полосы для размещения на экране</source>
        <translation>L&apos;image garde ses proportions ; des bandes noires sont ajoutées pour la faire tenir à l&apos;écran</translation>
    </message>
    <message>
        <source>Растянуть</source>
        <comment>span</comment>
        <translation>Étendre</translation>
    </message>
    <message>
        <source>Изображение растягивается на несколько экранов</source>
        <translation>L&apos;image s&apos;étend sur plusieurs écrans</translation>
    </message>
    <message>
        <source>Растянуть</source>
        <comment>stretch</comment>
        <translation>Étirer</translation>
    </message>
    <message>
        <source>Изображение растягивается для заполнения всего экрана, но пропорции не соблюдаются</source>
        <translation>L&apos;image est étirée pour remplir tout l&apos;écran, sans garder ses proportions</translation>
    </message>
    <message>
        <source>Мозаика</source>
        <comment>tile</comment>
        <translation>Mosaïque</translation>
    </message>
    <message>
        <source>Изображение повторяется для заполнения всего экрана, пропорции сохраняются</source>
        <translation>L&apos;image est répétée pour remplir tout l&apos;écran, en gardant ses proportions</translation>
    </message>
    <message>
        <source>Только ручное изменение</source>
        <translation>Changement manuel uniquement</translation>
    </message>
    <message>
        <source>Каждый час</source>
        <translation>Toutes les heures</translation>
    </message>
    <message>
        <source>Каждые 3 часа</source>
        <translation>Toutes les 3 heures</translation>
    </message>
    <message>
        <source>Каждые 6 часов</source>
        <translation>Toutes les 6 heures</translation>
    </message>
    <message>
        <source>Каждые 12 часов</source>
        <translation>Toutes les 12 heures</translation>
    </message>
    <message>
        <source>Каждые 24 часа</source>
        <translation>Toutes les 24 heures</translation>
    </message>
    <message>
        <source>Каждую неделю</source>
        <translation>Chaque semaine</translation>
    </message>
    <message>
        <source>Другое</source>
        <translation>Autre</translation>
    </message>
    <message>
        <source>Каждый день в</source>
        <translation>Chaque jour à</translation>
    </message>
    <message>
        <source>минут</source>
        <translation>minutes</translation>
    </message>
    <message>
        <source>часов</source>
        <translation>heures</translation>
    </message>
    <message>
        <source>дней</source>
        <translation>jours</translation>
    </message>
    <message>
        <source>Частота изменения</source>
        <translation>Fréquence de changement</translation>
    </message>
    <message>
        <source>Пауза при полном экране</source>
        <translation>Pause en plein écran</translation>
    </message>
    <message>
        <source>Пауза от батареи</source>
        <translation>Pause sur batterie</translation>
    </message>
    <message>
        <source>Смена при разблокировке</source>
        <translation>Changer au déverrouillage</translation>
    </message>
    <message>
        <source>Режим подгонки изображения</source>
        <translation>Ajustement de l&apos;image</translation>
    </message>
    <message>
        <source>Системные настройки</source>
        <translation>Paramètres système</translation>
    </message>
    <message>
        <source>Запускать с Windows</source>
        <translation>Démarrer avec Windows</translation>
    </message>
    <message>
        <source>Менять обои
при запуске компьютера</source>
        <translation>Changer le fond d&apos;écran
au démarrage de l&apos;ordinateur</translation>
    </message>
    <message>
        <source>Разное изображение на каждом экране</source>
        <translation>Une image différente sur chaque écran</translation>
    </message>
    <message>
        <source>Настройки</source>
        <translation>Paramètres</translation>
    </message>
    <message>
        <source>Выбранный режим подгонки</source>
        <translation>Mode d&apos;ajustement choisi</translation>
    </message>
    <message>
        <source>Язык</source>
        <translation>Langue</translation>
    </message>
    <message>
        <source>Как задумано</source>
        <translation>Comme prévu</translation>
    </message>
    <message>
        <source>System</source>
        <translation>Système</translation>
    </message>
    <message>
        <source>Изменить Сейчас</source>
        <translation>Changer maintenant</translation>
    </message>
    <message>
        <source>Состояние смены обоев</source>
        <translation>État du changement de fond d’écran</translation>
    </message>
    <message>
        <source>Время до следующей смены обоев</source>
        <translation>Temps avant le prochain changement de fond d’écran</translation>
    </message>
    <message>
        <source>Экраны для смены обоев</source>
        <translation>Écrans dont changer le fond d’écran</translation>
    </message>
    <message>
        <source>Стрелки выбирают экран, пробел отмечает его</source>
        <translation>Les flèches choisissent un écran, Espace le coche</translation>
    </message>
    <message>
        <source>Стрелки выбирают обои, Enter применяет их</source>
        <translation>Les flèches choisissent un fond d’écran, Entrée l’applique</translation>
    </message>
    <message>
        <source>Более новые обои</source>
        <translation>Fonds d’écran plus récents</translation>
    </message>
    <message>
        <source>Более старые обои</source>
        <translation>Fonds d’écran plus anciens</translation>
    </message>
    <message>
        <source>Интервал</source>
        <translation>Intervalle</translation>
    </message>
    <message>
        <source>Единица интервала</source>
        <translation>Unité de l’intervalle</translation>
    </message>
    <message>
        <source>Время смены</source>
        <translation>Heure du changement</translation>
    </message>
    <message>
        <source>категория %1</source>
        <translation>catégorie %1</translation>
    </message>
    <message>
        <source>экран %1</source>
        <translation>écran %1</translation>
    </message>
    <message>
        <source>Обои: %1</source>
        <translation>Fond d’écran : %1</translation>
    </message>
    <message>
        <source>Категория отключена</source>
        <translation>Catégorie désactivée</translation>
    </message>
    <message>
        <source>Рейтинг: %1 из 3</source>
        <translation>Note : %1 sur 3</translation>
    </message>
</context>
<context>
    <name>PictureMarks</name>
    <message>
        <source>Fichier des marques %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Nom d&apos;image invalide: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QCommandLineParser</name>
    <message>
        <source>Options:</source>
        <translation>Options :</translation>
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
        <translation>Écrans dont changer le fond d’écran</translation>
    </message>
</context>
<context>
    <name>ScreenTabAccessible</name>
    <message>
        <source>Экран %1</source>
        <translation>Écran %1</translation>
    </message>
    <message>
        <source>Выбор нельзя снять, пока на экране нет новых обоев</source>
        <translation>Impossible de désélectionner cet écran tant qu’il n’a pas de nouveau fond d’écran</translation>
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
        <translation>Appliquer</translation>
    </message>
</context>
</TS>
