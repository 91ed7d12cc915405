{ Makes the fixture tables of tests/data/dbase with TDbf, so that the reader is checked against
  files another engine wrote. Not part of the build; run by hand when the fixtures change:
    fpc -Mobjfpc -Sh tdbfmake.pas && ./tdbfmake ../data/dbase }
program tdbfmake;

uses
  SysUtils, DB, dbf;

procedure MakeSoluc(const Folder, Name: string; Level: Integer; Numeric: Boolean);
var
  Table: TDbf;

  procedure AddRow(const Asig, Tarea, Dia, Hora, Grupo, Prof, Aula: string; Deleted: Boolean);
  begin
    Table.Append;
    Table.FieldByName('ASIG').AsString := Asig;
    Table.FieldByName('TAREA').AsString := Tarea;
    if Numeric then
    begin
      if Dia <> '' then Table.FieldByName('DIA').AsInteger := StrToInt(Dia);
      if Hora <> '' then Table.FieldByName('HORA').AsFloat := StrToFloat(StringReplace(Hora, ',', '.', []));
    end
    else
    begin
      Table.FieldByName('DIA').AsString := Dia;
      Table.FieldByName('HORA').AsString := Hora;
    end;
    Table.FieldByName('CODGRUPO').AsString := Grupo;
    Table.FieldByName('PROF').AsString := Prof;
    Table.FieldByName('AULA').AsString := Aula;
    Table.Post;
    if Deleted then Table.Delete;
  end;

begin
  Table := TDbf.Create(nil);
  Table.FilePath := Folder;
  Table.TableName := Name;
  Table.TableLevel := Level;
  Table.FieldDefs.Add('ASIG', ftString, 10);
  Table.FieldDefs.Add('TAREA', ftString, 10);
  if Numeric then
  begin
    Table.FieldDefs.Add('DIA', ftInteger);
    Table.FieldDefs.Add('HORA', ftFloat);
  end
  else
  begin
    Table.FieldDefs.Add('DIA', ftString, 2);
    Table.FieldDefs.Add('HORA', ftString, 5);
  end;
  Table.FieldDefs.Add('CODGRUPO', ftString, 10);
  Table.FieldDefs.Add('PROF', ftString, 10);
  Table.FieldDefs.Add('AULA', ftString, 10);
  Table.CreateTable;
  Table.Open;
  AddRow('MAT', '', '1', '3', '1ESOA', 'MU'#$D1'OZ', 'A1', False);
  AddRow('LEN', 'LEN', '5', '10', '2BACHB', 'PEREZ', '', False);
  AddRow('DEL', '', '9', '9', 'X', 'X', 'X', True);
  if Numeric then
    AddRow('REC', '', '', '', '1ESOA', '', '', False)
  else
    AddRow('REC', '', '0', '0', '1ESOA', '', '', False);
  AddRow('TUT', '', '2', '2,5', '1ESOA', 'PEREZ', 'A2', False);
  Table.Close;
  Table.Free;
end;

procedure MakeCountses(const Folder: string; Rows: Integer);
var
  Table: TDbf;
  I: Integer;
begin
  Table := TDbf.Create(nil);
  Table.FilePath := Folder;
  Table.TableName := 'COUNTSES.DBF';
  Table.TableLevel := 7;
  Table.FieldDefs.Add('DURACION', ftString, 10);
  Table.FieldDefs.Add('NSES', ftInteger);
  Table.CreateTable;
  Table.Open;
  Table.AddIndex('NSES', 'NSES', []);
  for I := 0 to Rows - 1 do
  begin
    Table.Append;
    Table.FieldByName('DURACION').AsString := IntToStr(I);
    Table.FieldByName('NSES').AsInteger := (I * 37) mod 101;
    Table.Post;
  end;
  Table.Close;
  Table.Free;
end;

var
  Folder: string;
begin
  Folder := IncludeTrailingPathDelimiter(ParamStr(1));
  MakeSoluc(Folder, 'SOLUC3N.DBF', 3, True);
  MakeSoluc(Folder, 'SOLUC4C.DBF', 4, False);
  MakeSoluc(Folder, 'SOLUC7N.DBF', 7, True);
  MakeSoluc(Folder, 'SOLUC7C.DBF', 7, False);
  ForceDirectories(Folder + 'tdbf-countses');
  MakeCountses(Folder + 'tdbf-countses', 200);
end.
