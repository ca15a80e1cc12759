; The setup's own texts, in the program's eight languages.

LangString DesktopShortcut ${LANG_ENGLISH} "Desktop shortcut"
LangString DesktopShortcut ${LANG_KOREAN} "바탕 화면 바로 가기"
LangString DesktopShortcut ${LANG_JAPANESE} "デスクトップのショートカット"
LangString DesktopShortcut ${LANG_SIMPCHINESE} "桌面快捷方式"
LangString DesktopShortcut ${LANG_RUSSIAN} "Ярлык на рабочем столе"
LangString DesktopShortcut ${LANG_ITALIAN} "Collegamento sul desktop"
LangString DesktopShortcut ${LANG_FRENCH} "Raccourci sur le bureau"
LangString DesktopShortcut ${LANG_ARABIC} "اختصار على سطح المكتب"

LangString StillRunning ${LANG_ENGLISH} "Quorvane is still running and cannot be replaced. Quit it from its tray icon and try again."
LangString StillRunning ${LANG_KOREAN} "Quorvane이(가) 아직 실행 중이어서 바꿀 수 없습니다. 트레이 아이콘에서 종료한 뒤 다시 시도하십시오."
LangString StillRunning ${LANG_JAPANESE} "Quorvane が実行中のため置き換えられません。トレイ アイコンから終了して、もう一度お試しください。"
LangString StillRunning ${LANG_SIMPCHINESE} "Quorvane 仍在运行，无法替换。请从托盘图标退出后重试。"
LangString StillRunning ${LANG_RUSSIAN} "Quorvane всё ещё работает, и его нельзя заменить. Закройте программу через значок в области уведомлений и повторите попытку."
LangString StillRunning ${LANG_ITALIAN} "Quorvane è ancora in esecuzione e non può essere sostituito. Chiudilo dall'icona nell'area di notifica e riprova."
LangString StillRunning ${LANG_FRENCH} "Quorvane est toujours en cours d'exécution et ne peut pas être remplacé. Quittez-le depuis son icône de la zone de notification, puis réessayez."
LangString StillRunning ${LANG_ARABIC} "لا يزال Quorvane قيد التشغيل ولا يمكن استبداله. أغلقه من أيقونته في منطقة الإعلام ثم حاول مرة أخرى."
