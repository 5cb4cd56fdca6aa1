-- The people the player talks to (the dialogs name them by two keys) and the
-- words a dialog's text asks for in square brackets.
persons = {
  kessa = {
    dispatcher = { name = "Mira Osk", head = "portrait_dispatcher", duty = "Kessa traffic control" },
  },
}

dialogWords = {
  pilot_name = "Dace Rell",
}
