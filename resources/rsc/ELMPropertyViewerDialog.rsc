// Help texts of the property viewer's widgets.

properiesEditor.Help = "The attributes of the selected object: name, type and value.";
properiesEditor.ShortHelp = "Attributes of the selected object";
properiesEditor.LongHelp = "One line per attribute: its name in quotes, its type in angle brackets and its value in quotes.\nThe text can be selected and copied.";
